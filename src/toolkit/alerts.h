// SPDX-License-Identifier: GPL-3.0-or-later
// alerts.h - standard modal alerts, the beep and the arrow cursor.
#pragma once

#include <functional>

#include <QString>

// Alert kinds: they choose the alert's icon.
inline constexpr int kAlertStop = 0;     // errors
inline constexpr int kAlertNote = 1;     // notices
inline constexpr int kAlertCaution = 2;  // questions

// Button numbers an alert answers with.
inline constexpr int kAlertDefaultButton = 1;
inline constexpr int kAlertCancelButton = 2;
inline constexpr int kAlertOtherButton = 3;
inline constexpr int kAlertHelpButton = 4;

// Positions: over the front window (centred on it; see FrontWindow in ui.h), or centred on the
// screen without a parent.
inline constexpr int kAlertPositionParentWindow = 0xB00A;
inline constexpr int kAlertPositionMainScreen = 0x300A;

// The window manager lets the user move any dialog, so `movable` changes nothing here.
struct AlertParam {
    bool movable = true;
    bool helpButton = false;
    QString defaultText;                      // empty shows "OK"
    QString cancelText;                       // empty: no cancel button
    QString otherText;                        // empty: no other button
    int defaultButton = kAlertDefaultButton;  // the button that Return answers
    int cancelButton = 0;  // the button that Escape answers; 0 leaves it to the alert
    int position = kAlertPositionParentWindow;
};

// What an alert would show, as handed to a responder.
struct AlertRecord {
    int kind = kAlertStop;
    QString message;
    QString explanation;  // empty when the alert has none
    AlertParam param;
};

// Shows a modal alert and waits for it; returns the number of the button that answered it.
// The explanation is the second, smaller text; an empty one is left out.
int RunStandardAlert(int kind, const QString& message, const QString& explanation,
                     const AlertParam& param);

// Tests answer alerts through a responder: while one is set, RunStandardAlert shows nothing
// and returns what the responder returns. An empty function restores the real alerts.
using AlertResponder = std::function<int(const AlertRecord&)>;
void SetAlertResponder(AlertResponder responder);

void Beep();

// Drops every override cursor (a busy cursor, say), so the ordinary arrow shows.
void SetArrowCursor();
