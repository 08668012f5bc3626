// SPDX-License-Identifier: GPL-3.0-or-later
// keyboard.h - the keyboard state that stops a long operation: Command-period (Ctrl+period).
#pragma once

// True when the user pressed Ctrl with the period key of the main keyboard or of the keypad
// since the last call, or holds them now; a press is reported once, however short it was.
//
// Long operations on the GUI thread call this between their steps. At most every 50 ms it
// lets the pending events in, so that the key press can arrive at all; meanwhile mouse and
// keyboard input, drops and window closes are thrown away, so that nothing re-enters the
// application while the operation runs. Between those moments it costs one clock read.
bool KeyboardCommandPeriodPressed();
