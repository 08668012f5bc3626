// SPDX-License-Identifier: GPL-3.0-or-later
// alerts.cpp - standard modal alerts on QMessageBox, the beep and the arrow cursor.
#include "toolkit/alerts.h"

#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "toolkit/ui.h"

static AlertResponder gAlertResponder;

static QMessageBox::Icon IconForKind(int kind) {
    switch (kind) {
        case kAlertStop:
            return QMessageBox::Critical;
        case kAlertNote:
            return QMessageBox::Information;
        case kAlertCaution:
            return QMessageBox::Warning;
        default:
            return QMessageBox::NoIcon;
    }
}

int RunStandardAlert(int kind, const QString& message, const QString& explanation,
                     const AlertParam& param) {
    if (gAlertResponder) {
        // A copy, so that a responder may replace itself while it answers.
        AlertResponder responder = gAlertResponder;
        return responder(AlertRecord{kind, message, explanation, param});
    }

    // The toolkit's front window, not Qt's active one: nothing is active without a window
    // manager, nor while another program has the focus, and the alert would then sit in the
    // middle of the screen instead of over the window it is about.
    QWidget* parent = param.position == kAlertPositionParentWindow ? FrontWindow() : nullptr;
    QMessageBox box(parent);
    box.setIcon(IconForKind(kind));
    // Messages carry file names and keys, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    if (!explanation.isEmpty()) box.setInformativeText(explanation);

    std::vector<std::pair<QAbstractButton*, int>> buttons;
    auto add = [&](const QString& text, QMessageBox::ButtonRole role, int number) {
        buttons.emplace_back(box.addButton(text, role), number);
    };
    add(param.defaultText.isEmpty() ? QStringLiteral("OK") : param.defaultText,
        QMessageBox::AcceptRole, kAlertDefaultButton);
    if (!param.cancelText.isEmpty())
        add(param.cancelText, QMessageBox::RejectRole, kAlertCancelButton);
    if (!param.otherText.isEmpty())
        add(param.otherText, QMessageBox::ActionRole, kAlertOtherButton);
    if (param.helpButton) add(QMessageBox::tr("Help"), QMessageBox::HelpRole, kAlertHelpButton);

    for (const auto& [button, number] : buttons) {
        if (number == param.defaultButton) box.setDefaultButton(static_cast<QPushButton*>(button));
        if (number == param.cancelButton) box.setEscapeButton(button);
    }

    box.exec();

    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, number] : buttons)
        if (button == clicked) return number;
    return param.cancelButton != 0 ? param.cancelButton : kAlertDefaultButton;
}

void SetAlertResponder(AlertResponder responder) {
    gAlertResponder = std::move(responder);
}

void Beep() {
    QApplication::beep();
}

void SetArrowCursor() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}
