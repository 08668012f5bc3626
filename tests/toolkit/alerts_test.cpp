// SPDX-License-Identifier: GPL-3.0-or-later
// alerts_test.cpp - standard alerts: button numbers, Escape and Return, icons, parent, responder.
#include "toolkit/alerts.h"

#include <vector>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include "support/alert_answer.h"
#include "support/ui_windows.h"

namespace {

AlertParam ThreeButtons() {
    AlertParam param;
    param.defaultText = "Go";
    param.cancelText = "Stop";
    param.otherText = "Some";
    param.cancelButton = kAlertCancelButton;
    return param;
}

int RunAndClick(const AlertParam& param, const QString& buttonText) {
    AnswerAlert([buttonText](QMessageBox* box) {
        QAbstractButton* button = AlertButton(box, buttonText);
        ASSERT_NE(button, nullptr) << buttonText.toStdString();
        button->click();
    });
    return RunStandardAlert(kAlertCaution, "Question?", QString(), param);
}

int RunAndPress(const AlertParam& param, Qt::Key key) {
    AnswerAlert([key](QMessageBox* box) { QTest::keyClick(box, key); });
    return RunStandardAlert(kAlertCaution, "Question?", QString(), param);
}

}  // namespace

TEST(Alerts, EachButtonAnswersWithItsNumber) {
    EXPECT_EQ(RunAndClick(ThreeButtons(), "Go"), kAlertDefaultButton);
    EXPECT_EQ(RunAndClick(ThreeButtons(), "Stop"), kAlertCancelButton);
    EXPECT_EQ(RunAndClick(ThreeButtons(), "Some"), kAlertOtherButton);
}

TEST(Alerts, EscapeAnswersTheCancelButtonAndReturnTheDefault) {
    EXPECT_EQ(RunAndPress(ThreeButtons(), Qt::Key_Escape), kAlertCancelButton);
    EXPECT_EQ(RunAndPress(ThreeButtons(), Qt::Key_Return), kAlertDefaultButton);

    AlertParam cancelIsDefault = ThreeButtons();
    cancelIsDefault.defaultButton = kAlertCancelButton;
    EXPECT_EQ(RunAndPress(cancelIsDefault, Qt::Key_Return), kAlertCancelButton);
}

TEST(Alerts, KindChoosesTheIconAndTextsAreShownAsGiven) {
    struct Case {
        int kind;
        QMessageBox::Icon icon;
        QString explanation;
    };
    const std::vector<Case> cases = {{kAlertStop, QMessageBox::Critical, "Error code : -36"},
                                     {kAlertNote, QMessageBox::Information, ""},
                                     {kAlertCaution, QMessageBox::Warning, "<b>not bold</b>"}};
    for (const Case& c : cases) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text, informative;
        AnswerAlert([&](QMessageBox* box) {
            icon = box->icon();
            text = box->text();
            informative = box->informativeText();
            QTest::keyClick(box, Qt::Key_Return);
        });
        RunStandardAlert(c.kind, "A <file> & more", c.explanation, AlertParam{});
        EXPECT_EQ(icon, c.icon) << c.kind;
        EXPECT_EQ(text, "A <file> & more");
        EXPECT_EQ(informative, c.explanation);
    }
}

TEST(Alerts, AlertSitsOnTheModalDialogInFront) {
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);

    QWidget* parent = nullptr;
    AnswerAlert([&parent](QMessageBox* box) {
        parent = box->parentWidget();
        QTest::keyClick(box, Qt::Key_Return);
    });
    RunStandardAlert(kAlertNote, "Over the dialog", QString(), AlertParam{});
    EXPECT_EQ(parent, &dialog);
}

// A window that was shown but never activated (nothing is, without a window manager, or while
// another program has the focus) is still the front window the alert belongs to.
TEST(Alerts, AlertSitsOnTheFrontWindowAlsoWhenNoWindowIsActive) {
    WindowRef window = LoadNibWindow("About");
    ASSERT_NE(window, nullptr);
    ShowWindow(window);
    QTest::qWait(20);
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    ASSERT_EQ(FrontWindow(), window);

    QWidget* parent = nullptr;
    AnswerAlert([&parent](QMessageBox* box) {
        parent = box->parentWidget();
        QTest::keyClick(box, Qt::Key_Return);
    });
    RunStandardAlert(kAlertStop, "Over the window", QString(), AlertParam{});
    EXPECT_EQ(parent, window);

    // Placed on the main screen on purpose, an alert has no parent.
    AlertParam onScreen;
    onScreen.position = kAlertPositionMainScreen;
    AnswerAlert([&parent](QMessageBox* box) {
        parent = box->parentWidget();
        QTest::keyClick(box, Qt::Key_Return);
    });
    RunStandardAlert(kAlertNote, "On the screen", QString(), onScreen);
    EXPECT_EQ(parent, nullptr);
    DisposeAllWindows();
}

TEST(Alerts, ResponderAnswersInsteadOfAnAlert) {
    std::vector<AlertRecord> records;
    QWidget* modalDuringAnswer = reinterpret_cast<QWidget*>(1);
    SetAlertResponder([&](const AlertRecord& record) {
        records.push_back(record);
        modalDuringAnswer = QApplication::activeModalWidget();
        return kAlertOtherButton;
    });
    const int answer = RunStandardAlert(kAlertCaution, "Send?", "more", ThreeButtons());
    SetAlertResponder({});

    EXPECT_EQ(answer, kAlertOtherButton);
    EXPECT_EQ(modalDuringAnswer, nullptr);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, kAlertCaution);
    EXPECT_EQ(records[0].message, "Send?");
    EXPECT_EQ(records[0].explanation, "more");
    EXPECT_EQ(records[0].param.defaultText, "Go");
    EXPECT_EQ(records[0].param.cancelText, "Stop");
    EXPECT_EQ(records[0].param.otherText, "Some");
}
