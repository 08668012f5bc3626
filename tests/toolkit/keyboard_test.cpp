// SPDX-License-Identifier: GPL-3.0-or-later
// keyboard_test.cpp - Command-period: latched presses, held keys, stale presses, input thrown away.
#include "toolkit/keyboard.h"

#include <chrono>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class CommandPeriod : public testing::Test {
protected:
    void SetUp() override {
        // Whatever an earlier test left held or latched is let go and read away; the last
        // call also marks a long operation as running, so that presses from now on count.
        Release(Qt::Key_Period);
        Release(Qt::Key_Control);
        WaitForNextPoll();
        KeyboardCommandPeriodPressed();
    }

    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(&target, &event);
    }
    void Release(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyRelease, key, modifiers);
        QCoreApplication::sendEvent(&target, &event);
    }
    static void WaitForNextPoll() { std::this_thread::sleep_for(60ms); }

    QWidget target;
};

}  // namespace

TEST_F(CommandPeriod, QuickPressIsReportedOnceAfterTheKeysWereReleased) {
    Press(Qt::Key_Period);
    Release(Qt::Key_Period, Qt::ControlModifier);
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
    EXPECT_FALSE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, PeriodWithoutCtrlAndOtherCtrlKeysDoNotCount) {
    Press(Qt::Key_Period, Qt::NoModifier);
    Release(Qt::Key_Period);
    Press(Qt::Key_Comma);
    Release(Qt::Key_Comma, Qt::ControlModifier);
    Press(Qt::Key_Greater, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, KeypadDecimalKeyCounts) {
    Press(Qt::Key_Period, Qt::ControlModifier | Qt::KeypadModifier);
    Release(Qt::Key_Period, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_TRUE(KeyboardCommandPeriodPressed());

    // Layouts whose decimal separator is a comma.
    Press(Qt::Key_Comma, Qt::ControlModifier | Qt::KeypadModifier);
    Release(Qt::Key_Comma, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, HeldKeysCountUntilEitherIsReleased) {
    Press(Qt::Key_Period);
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
    // Auto-repeat sends a release before each repeated press.
    QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Period, Qt::ControlModifier, QString(),
                            true);
    QCoreApplication::sendEvent(&target, &repeatRelease);
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
    Release(Qt::Key_Control, Qt::ControlModifier);
    EXPECT_FALSE(KeyboardCommandPeriodPressed());

    Press(Qt::Key_Period);
    Release(Qt::Key_Period, Qt::ControlModifier);
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
    EXPECT_FALSE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, PressThatNobodyAskedAboutForAWhileIsForgotten) {
    // Pressed while no long operation was running: the next one must not stop at once.
    Press(Qt::Key_Period);
    Release(Qt::Key_Period, Qt::ControlModifier);
    std::this_thread::sleep_for(600ms);
    EXPECT_FALSE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, PressQueuedWhileBusyArrivesAtTheNextPoll) {
    QCoreApplication::postEvent(
        &target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Period, Qt::ControlModifier));
    QCoreApplication::postEvent(
        &target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Period, Qt::ControlModifier));
    WaitForNextPoll();
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, CallsBetweenPollsLeaveEventsQueued) {
    QElapsedTimer sincePoll;
    sincePoll.start();
    QCoreApplication::postEvent(
        &target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Period, Qt::ControlModifier));
    for (int i = 0; i < 1000; ++i) {
        if (sincePoll.elapsed() >= 40) GTEST_SKIP() << "the machine is too slow for this check";
        ASSERT_FALSE(KeyboardCommandPeriodPressed()) << "call " << i;
    }
    WaitForNextPoll();
    EXPECT_TRUE(KeyboardCommandPeriodPressed());
}

TEST_F(CommandPeriod, InputArrivingDuringAPollIsThrownAway) {
    QLineEdit edit;
    QPushButton button("Button");
    button.resize(100, 30);
    button.show();
    QSignalSpy clicks(&button, &QPushButton::clicked);
    const QPointF inside(50, 15);
    auto postInput = [&] {
        QCoreApplication::postEvent(
            &edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
        QCoreApplication::postEvent(
            &button, new QMouseEvent(QEvent::MouseButtonPress, inside, button.mapToGlobal(inside),
                                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            &button, new QMouseEvent(QEvent::MouseButtonRelease, inside, button.mapToGlobal(inside),
                                     Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    };

    postInput();
    WaitForNextPoll();
    EXPECT_FALSE(KeyboardCommandPeriodPressed());
    EXPECT_EQ(edit.text(), "");
    EXPECT_EQ(clicks.count(), 0);

    // The same input outside a poll reaches the widgets.
    postInput();
    QCoreApplication::processEvents();
    EXPECT_EQ(edit.text(), "a");
    EXPECT_EQ(clicks.count(), 1);
}
