// SPDX-License-Identifier: GPL-3.0-or-later
// numberentry.h - a text field that takes typed whole numbers within a range.
#pragma once

#include <cstdint>
#include <functional>

#include "toolkit/ui.h"

// Lets the text field take only whole numbers from minimum to maximum, and calls `typed` with
// the number each time the user's typing leaves one in the field (not for an empty field, and
// not when the program sets the text). Nothing for a control that is no text field.
void SetControlNumberEntry(ControlRef field, int32_t minimum, int32_t maximum,
                           std::function<void(ControlRef, int32_t)> typed);
