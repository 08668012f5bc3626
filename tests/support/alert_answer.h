// SPDX-License-Identifier: GPL-3.0-or-later
// alert_answer.h - answers a real alert from the event loop that the alert itself runs.
#pragma once

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

// Calls `answer` with the message box once one is shown modally; the call that shows it blocks,
// so this must be set up before that call. Gives up (and fails the test) after about 5 s.
inline void AnswerAlert(std::function<void(QMessageBox*)> answer, int triesLeft = 500) {
    QTimer::singleShot(10, [answer = std::move(answer), triesLeft]() mutable {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible()) {
            answer(box);
        } else if (triesLeft > 0) {
            AnswerAlert(std::move(answer), triesLeft - 1);
        } else {
            ADD_FAILURE() << "no alert was shown";
        }
    });
}

// The box's button with the given text, or null.
inline QAbstractButton* AlertButton(QMessageBox* box, const QString& text) {
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text) return button;
    return nullptr;
}
