// SPDX-License-Identifier: GPL-3.0-or-later
// ui_test.cpp - interface files, controls by number, command routing, close rules, bounds
// events, key releases and the front window.
#include "toolkit/ui.h"

#include <vector>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include "support/ui_windows.h"

namespace {

struct Recorded {
    EventKind kind;
    OSType command;
    WindowRef window;
    ControlRef control;
    uint8_t charCode;
};

// Records every event and answers with a status the test chooses.
struct Recorder {
    std::vector<Recorded> events;
    OSStatus answer = kEventNotHandledErr;
    std::vector<OSType> commands(EventKind kind = EventKind::ProcessCommand) const {
        std::vector<OSType> result;
        for (const Recorded& e : events)
            if (e.kind == kind) result.push_back(e.command);
        return result;
    }
    int count(EventKind kind) const {
        int n = 0;
        for (const Recorded& e : events) n += e.kind == kind;
        return n;
    }
    ControlRef lastHit() const {
        for (auto e = events.rbegin(); e != events.rend(); ++e)
            if (e->kind == EventKind::ControlHit) return e->control;
        return nullptr;
    }
};

OSStatus RecordEvent(const EventRecord& event, void* userData) {
    auto* recorder = static_cast<Recorder*>(userData);
    recorder->events.push_back(
        {event.kind, event.command, event.window, event.control, event.charCode});
    return recorder->answer;
}

QAction* MenuAction(OSType command) {
    for (QMenu* menu : GetMenuHandle(128)->parentWidget()->findChildren<QMenu*>())
        for (QAction* action : menu->actions())
            if (action->property("command").isValid() &&
                FourCharCodeString(command) == action->property("command").toString())
                return action;
    return nullptr;
}

class UiTest : public testing::Test {
protected:
    void TearDown() override {
        DisposeAllWindows();
        for (auto kind : {AppleEventKind::OpenApplication, AppleEventKind::OpenDocuments,
                          AppleEventKind::PrintDocuments, AppleEventKind::Quit})
            AEInstallEventHandler(kind, nullptr, 0);
    }
};

TEST_F(UiTest, MissingInterfaceFolderAndObjectReportTheirStatus) {
    NibRef* nib = nullptr;
    EXPECT_EQ(CreateNibReference("nothing", &nib), kFnfErr);
    EXPECT_EQ(nib, nullptr);
    ASSERT_EQ(CreateNibReference("main", &nib), 0);
    WindowRef window = nullptr;
    EXPECT_EQ(CreateWindowFromNib(nib, "NoSuchWindow", &window), kCantFindNibObjectErr);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(SetMenuBarFromNib(nib, "NoSuchMenuBar"), kCantFindNibObjectErr);
    DisposeNibReference(nib);
}

TEST_F(UiTest, MainWindowHasEveryControlTheApplicationNames) {
    WindowRef pref = LoadNibWindow("Pref");
    ASSERT_NE(pref, nullptr);
    for (int32_t id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11})
        EXPECT_NE(FindNibControl(pref, id), nullptr) << "control " << id;
    ControlRef ignored = nullptr;
    EXPECT_EQ(GetControlByID(pref, {kControlSignature, 10}, &ignored), kUnknownControlErr);
    EXPECT_EQ(GetControlByID(pref, {FourCharCode("Xxxx"), 3}, &ignored), kUnknownControlErr);

    EXPECT_NE(qobject_cast<QComboBox*>(FindNibControl(pref, 2)), nullptr);
    auto* list = qobject_cast<QTreeView*>(FindNibControl(pref, 3));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->model()->columnCount(), 3);  // shows its headers before it has a list view
    EXPECT_EQ(GetControlCommandID(FindNibControl(pref, 1)), FourCharCode("Send"));
    EXPECT_EQ(GetControlCommandID(FindNibControl(pref, 2)), 2u);
    EXPECT_EQ(GetControlCommandID(FindNibControl(pref, 5)), 5u);
    EXPECT_EQ(GetControlCommandID(FindNibControl(pref, 6)), 6u);
    EXPECT_EQ(GetControlCommandID(FindNibControl(pref, 3)), 3u);
    // The send options sit in the bottom band, so they move with it.
    EXPECT_EQ(FindNibControl(pref, 5)->parentWidget(), FindNibControl(pref, 4));

    ControlID id{};
    ASSERT_EQ(GetControlID(FindNibControl(pref, 9), &id), 0);
    EXPECT_EQ(id.signature, kControlSignature);
    EXPECT_EQ(id.id, 9);
    EXPECT_EQ(GetControlOwner(FindNibControl(pref, 5)), pref);
}

TEST_F(UiTest, ProgressAboutAndThumbnailWindowsHaveTheirControls) {
    WindowRef progress = LoadNibWindow("Progress");
    ASSERT_NE(progress, nullptr);
    EXPECT_NE(qobject_cast<QProgressBar*>(FindNibControl(progress, 1)), nullptr);
    EXPECT_NE(FindNibControl(progress, 3), nullptr);
    EXPECT_NE(FindNibControl(progress, 4), nullptr);
    EXPECT_EQ(GetControlCommandID(FindNibControl(progress, 2)), 2u);

    EXPECT_NE(LoadNibWindow("About"), nullptr);

    WindowRef thumbnail = LoadNibWindow("Thumbnail");
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_EQ(GetControlCommandID(FindNibControl(thumbnail, 1)), kHICommandOK);
    EXPECT_EQ(GetControlCommandID(FindNibControl(thumbnail, 2)), kHICommandCancel);
    ControlRef panel = FindNibControl(thumbnail, 3);
    ASSERT_NE(panel, nullptr);
    for (int32_t id : {4, 5, 8, 9}) {
        ControlRef control = FindNibControl(thumbnail, id);
        ASSERT_NE(control, nullptr) << "control " << id;
        EXPECT_EQ(control->parentWidget(), panel) << "control " << id;
    }
    std::vector<OSType> stepCommands;
    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>())
        if (OSType command = GetControlCommandID(button)) stepCommands.push_back(command);
    EXPECT_EQ(stepCommands, (std::vector<OSType>{6, 7, 10, 11}));
}

TEST_F(UiTest, MenuBarSendsEveryCommandAndKeepsTheContextualMenuOutOfTheBar) {
    InstallNibMenuBar();
    for (const char* command :
         {"open", "Remv", "clos", "quit", "FtoT", "chrp", "MThm", "Send", "Abou"}) {
        const QByteArray text(command);
        const OSType code = OSType(uint8_t(text[0])) << 24 | OSType(uint8_t(text[1])) << 16 |
                            OSType(uint8_t(text[2])) << 8 | OSType(uint8_t(text[3]));
        EXPECT_NE(MenuAction(code), nullptr) << command;
    }
    QMenu* contextual = GetMenuHandle(131);
    ASSERT_NE(contextual, nullptr);
    EXPECT_FALSE(contextual->actions().isEmpty());
    QMenuBar* bar = qobject_cast<QMenuBar*>(contextual->parentWidget());
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->actions().contains(contextual->menuAction()));
    EXPECT_EQ(GetMenuHandle(999), nullptr);

    // Remove shows Delete but must not act on the key press: the key's release removes.
    EXPECT_EQ(MenuAction(FourCharCode("Remv"))->shortcutContext(), Qt::WidgetShortcut);
    EXPECT_EQ(MenuAction(FourCharCode("open"))->shortcutContext(), Qt::ApplicationShortcut);

    // Enabling goes by command, in the bar and in the contextual menu alike.
    const OSType send = FourCharCode("Send");
    DisableMenuCommand(send);
    EXPECT_FALSE(IsMenuCommandEnabled(send));
    EXPECT_FALSE(GetMenuHandle(131)->actions().last()->isEnabled());
    EnableMenuCommand(send);
    EXPECT_TRUE(GetMenuHandle(131)->actions().last()->isEnabled());

    // The main window carries the bar once it exists.
    WindowRef pref = LoadNibWindow("Pref");
    EXPECT_EQ(bar->window(), pref);
}

TEST_F(UiTest, MenuCommandGoesToFrontWindowThenApplication) {
    InstallNibMenuBar();
    WindowRef about = LoadNibWindow("About");
    ShowWindow(about);
    Recorder window, application;
    InstallWindowEventHandler(about, RecordEvent, &window);
    InstallApplicationEventHandler(RecordEvent, &application);

    MenuAction(FourCharCode("open"))->trigger();
    EXPECT_EQ(window.commands(), std::vector<OSType>{FourCharCode("open")});
    ASSERT_EQ(application.commands(), std::vector<OSType>{FourCharCode("open")});
    EXPECT_EQ(application.events.back().window, about);

    // A window that handles the command keeps it from the application.
    window.answer = 0;
    EXPECT_EQ(ProcessHICommand(FourCharCode("Abou")), 0);
    EXPECT_EQ(application.commands().size(), 1u);
}

TEST_F(UiTest, ButtonSendsControlHitThenItsCommandUnlessTheWindowHandledTheHit) {
    WindowRef pref = LoadNibWindow("Pref");
    ShowWindow(pref);
    Recorder window, application;
    InstallWindowEventHandler(pref, RecordEvent, &window);
    InstallApplicationEventHandler(RecordEvent, &application);
    auto* send = qobject_cast<QAbstractButton*>(FindNibControl(pref, 1));
    ActivateControl(send);

    send->click();
    ASSERT_EQ(window.events.size(), 2u);
    EXPECT_EQ(window.events[0].kind, EventKind::ControlHit);
    EXPECT_EQ(window.events[0].control, send);
    EXPECT_EQ(window.events[1].kind, EventKind::ProcessCommand);
    EXPECT_EQ(application.commands(), std::vector<OSType>{FourCharCode("Send")});

    window.answer = 0;
    send->click();
    EXPECT_EQ(application.commands().size(), 1u);

    // A check box toggles first, then reports the hit.
    window.events.clear();
    auto* box = qobject_cast<QAbstractButton*>(FindNibControl(pref, 5));
    box->setChecked(false);
    box->click();
    ASSERT_EQ(window.count(EventKind::ControlHit), 1);
    EXPECT_EQ(GetControl32BitValue(window.events[0].control), 1);
}

TEST_F(UiTest, PopupChoiceAndClickInListAreControlHits) {
    WindowRef pref = LoadNibWindow("Pref");
    ShowWindow(pref);
    Recorder window;
    InstallWindowEventHandler(pref, RecordEvent, &window);
    auto* popup = qobject_cast<QComboBox*>(FindNibControl(pref, 2));
    popup->addItems({"A", "B"});
    emit popup->activated(1);
    ASSERT_EQ(window.count(EventKind::ControlHit), 1);
    EXPECT_EQ(window.lastHit(), popup);

    auto* list = qobject_cast<QTreeView*>(FindNibControl(pref, 3));
    QTest::mouseClick(list->viewport(), Qt::LeftButton);
    SettleEvents();
    ASSERT_EQ(window.count(EventKind::ControlHit), 2);
    EXPECT_EQ(window.lastHit(), list);
}

TEST_F(UiTest, ToolkitClosesTheFrontWindowAndDispatchesQuit) {
    InstallNibMenuBar();
    QPointer<QWidget> about = LoadNibWindow("About");
    ShowWindow(about);
    Recorder application;
    InstallApplicationEventHandler(RecordEvent, &application);
    EXPECT_EQ(ProcessHICommand(kHICommandClose), 0);
    SettleEvents();
    EXPECT_TRUE(about.isNull());
    EXPECT_TRUE(WindowList().isEmpty());

    EXPECT_EQ(ProcessHICommand(kHICommandQuit), -1708);  // nobody installed the quit handler
    static int quits = 0;
    AEInstallEventHandler(
        AppleEventKind::Quit,
        [](const AppleEvent&, void*, long refcon) -> int16_t {
            ++quits;
            return int16_t(refcon);
        },
        -128);
    EXPECT_EQ(ProcessHICommand(kHICommandQuit), -128);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(AEDispatch({AppleEventKind::PrintDocuments, {"/x.mp4"}}), -1708);
}

TEST_F(UiTest, CloseRequestObeysTheWindowHandlerAndTheClosableProperty) {
    QPointer<QWidget> about = LoadNibWindow("About");
    ShowWindow(about);
    Recorder window;
    window.answer = kUserCanceledErr;
    InstallWindowEventHandler(about, RecordEvent, &window);
    EXPECT_FALSE(RequestWindowClose(about));
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(window.count(EventKind::WindowClose), 1);

    window.answer = 0;
    EXPECT_TRUE(RequestWindowClose(about));
    SettleEvents();
    EXPECT_TRUE(about.isNull());

    // The progress window closes only when its owner disposes of it.
    QPointer<QWidget> progress = LoadNibWindow("Progress");
    ShowWindow(progress);
    EXPECT_FALSE(RequestWindowClose(progress));
    EXPECT_FALSE(progress->windowFlags() & Qt::WindowCloseButtonHint);
}

TEST_F(UiTest, ModalLoopEndsByQuitOrByClosingAndLeavesTheWindow) {
    WindowRef thumbnail = LoadNibWindow("Thumbnail");
    EXPECT_EQ(QuitAppModalLoopForWindow(thumbnail), kParamErr);
    WindowRef front = nullptr;
    QTimer::singleShot(20, [&] {
        front = FrontWindow();
        EXPECT_EQ(QuitAppModalLoopForWindow(thumbnail), 0);
    });
    EXPECT_EQ(RunAppModalLoopForWindow(thumbnail), 0);
    EXPECT_EQ(front, thumbnail);

    QTimer::singleShot(20, [&] { RequestWindowClose(thumbnail); });
    EXPECT_EQ(RunAppModalLoopForWindow(thumbnail), 0);
    SettleEvents();
    EXPECT_TRUE(WindowList().contains(thumbnail));  // its owner disposes of it
}

TEST_F(UiTest, EscapeInADialogPressesItsCancelButton) {
    WindowRef thumbnail = LoadNibWindow("Thumbnail");
    ShowWindow(thumbnail);
    Recorder window;
    window.answer = 0;
    InstallWindowEventHandler(thumbnail, RecordEvent, &window);
    QTest::keyClick(FindNibControl(thumbnail, 1), Qt::Key_Escape);
    ASSERT_EQ(window.count(EventKind::ControlHit), 1);
    EXPECT_EQ(window.events[0].control, FindNibControl(thumbnail, 2));
    EXPECT_TRUE(thumbnail->isVisible());
}

// The handler hears of a close only when the user closes the window, not when its owner ends
// the run; Escape during the run presses the cancel button and leaves ending the run to it.
TEST_F(UiTest, ModalRunTellsTheHandlerOfUserClosesOnlyAndEscapeGoesToCancel) {
    WindowRef thumbnail = LoadNibWindow("Thumbnail");
    Recorder window;
    window.answer = 0;
    InstallWindowEventHandler(thumbnail, RecordEvent, &window);
    bool modal = false;
    QTimer::singleShot(20, [&] {
        modal = QApplication::activeModalWidget() == thumbnail;
        (void)QuitAppModalLoopForWindow(thumbnail);
    });
    EXPECT_EQ(RunAppModalLoopForWindow(thumbnail), 0);
    EXPECT_TRUE(modal);
    EXPECT_EQ(window.count(EventKind::WindowClose), 0);
    EXPECT_EQ(QuitAppModalLoopForWindow(thumbnail), kParamErr);  // the run is over

    window.events.clear();
    QTimer::singleShot(20, [&] {
        QTest::keyClick(FindNibControl(thumbnail, 1), Qt::Key_Escape);
        // Still running: Escape only pressed the button.
        EXPECT_TRUE(thumbnail->isVisible());
        EXPECT_EQ(QuitAppModalLoopForWindow(thumbnail), 0);
    });
    EXPECT_EQ(RunAppModalLoopForWindow(thumbnail), 0);
    EXPECT_EQ(window.lastHit(), FindNibControl(thumbnail, 2));
    EXPECT_EQ(window.count(EventKind::WindowClose), 0);

    window.events.clear();
    QTimer::singleShot(20, [&] { RequestWindowClose(thumbnail); });
    EXPECT_EQ(RunAppModalLoopForWindow(thumbnail), 0);
    EXPECT_EQ(window.count(EventKind::WindowClose), 1);
    EXPECT_EQ(window.count(EventKind::ControlHit), 0);  // a close is no cancel

    // Only dialogs run modally.
    EXPECT_EQ(RunAppModalLoopForWindow(LoadNibWindow("Pref")), kParamErr);
}

TEST_F(UiTest, FrontWindowIsModalThenActiveThenLastShown) {
    Recorder application;
    InstallApplicationEventHandler(RecordEvent, &application);
    EXPECT_EQ(FrontWindow(), nullptr);
    WindowRef pref = LoadNibWindow("Pref");
    WindowRef about = LoadNibWindow("About");
    ShowWindow(pref);
    ShowWindow(about);
    EXPECT_EQ(FrontWindow(), about);
    EXPECT_EQ(WindowList().first(), about);

    SelectWindow(pref);
    QTRY_COMPARE(QApplication::activeWindow(), pref);
    EXPECT_EQ(FrontWindow(), pref);
    SettleEvents();
    ASSERT_GE(application.count(EventKind::WindowActivated), 1);
    EXPECT_EQ(application.events.back().window, pref);

    WindowRef progress = LoadNibWindow("Progress");
    QTimer::singleShot(20, [&] {
        EXPECT_EQ(FrontWindow(), progress);
        (void)QuitAppModalLoopForWindow(progress);
    });
    (void)RunAppModalLoopForWindow(progress);
    DisposeWindow(progress);
    HideWindow(about);
    EXPECT_EQ(WindowList().size(), 2);
}

TEST_F(UiTest, ContentBoundsOfTheMainWindowLieBelowItsMenuBar) {
    InstallNibMenuBar();
    WindowRef pref = LoadNibWindow("Pref");
    const Rect bounds{100, 50, 500, 750};
    SetWindowContentBounds(pref, bounds);
    ShowWindow(pref);
    const Rect read = GetWindowContentBounds(pref);
    EXPECT_EQ(read.top, 100);
    EXPECT_EQ(read.left, 50);
    EXPECT_EQ(read.bottom, 500);
    EXPECT_EQ(read.right, 750);
    EXPECT_LT(pref->geometry().top(), 100);  // the menu bar is above the content

    SetWindowResizeLimits(pref, 603, 361);
    pref->resize(300, 200);
    const Rect limited = GetWindowContentBounds(pref);
    EXPECT_EQ(limited.right - limited.left, 603);
    EXPECT_EQ(limited.bottom - limited.top, 361);
}

TEST_F(UiTest, ResizingReportsEachStepAndOneEndAfterAPause) {
    WindowRef about = LoadNibWindow("About");
    ShowWindow(about);
    SettleEvents();
    Recorder window;
    InstallWindowEventHandler(about, RecordEvent, &window);
    for (int width = 400; width < 440; width += 10) {
        about->resize(width, 220);
        QCoreApplication::processEvents();
    }
    EXPECT_GE(window.count(EventKind::WindowBoundsChanging), 4);
    EXPECT_EQ(window.count(EventKind::WindowBoundsChanged), 0);
    QTest::qWait(300);
    EXPECT_EQ(window.count(EventKind::WindowBoundsChanged), 1);
}

TEST_F(UiTest, KeyReleaseReachesTheApplicationOnceWithItsCharacterCode) {
    WindowRef pref = LoadNibWindow("Pref");
    ShowWindow(pref);
    Recorder application;
    InstallApplicationEventHandler(RecordEvent, &application);
    ControlRef list = FindNibControl(pref, 3);
    QTest::keyRelease(list, Qt::Key_Backspace);
    QTest::keyRelease(list, Qt::Key_Delete);
    QTest::keyRelease(list, Qt::Key_A, Qt::NoModifier);
    QTest::keyPress(list, Qt::Key_B);  // presses are not reported
    std::vector<uint8_t> codes;
    for (const Recorded& e : application.events)
        if (e.kind == EventKind::RawKeyUp) codes.push_back(e.charCode);
    EXPECT_EQ(codes, (std::vector<uint8_t>{8, 127, 'a'}));
    EXPECT_EQ(application.events.back().window, pref);
}

TEST_F(UiTest, ValuesArePinnedToTheControlsRange) {
    WindowRef progress = LoadNibWindow("Progress");
    ControlRef bar = FindNibControl(progress, 1);
    SetControl32BitValue(bar, 150);
    EXPECT_EQ(GetControl32BitValue(bar), 100);
    SetControl32BitValue(bar, 42);
    EXPECT_EQ(GetControl32BitValue(bar), 42);

    WindowRef pref = LoadNibWindow("Pref");
    ControlRef popup = FindNibControl(pref, 2);
    EXPECT_EQ(GetControl32BitValue(popup), 0);  // no items
    qobject_cast<QComboBox*>(popup)->addItems({"A", "B"});
    SetControl32BitValue(popup, 5);
    EXPECT_EQ(GetControl32BitValue(popup), 2);
    ControlRef box = FindNibControl(pref, 6);
    SetControl32BitValue(box, 1);
    EXPECT_EQ(GetControl32BitValue(box), 1);

    SetControlText(FindNibControl(progress, 3), "M4V00001.MP4");
    EXPECT_EQ(GetControlText(FindNibControl(progress, 3)), "M4V00001.MP4");
}

ControlRef gArrowsSeen = nullptr;
std::vector<int16_t> gPartsSeen;

TEST_F(UiTest, LittleArrowsCallTheirActionWithThePartAndKeepTheirRange) {
    WindowRef thumbnail = LoadNibWindow("Thumbnail");
    ControlRef arrows = FindNibControl(thumbnail, 5);
    SetControl32BitMinimum(arrows, 0);
    SetControl32BitMaximum(arrows, 10);
    SetControl32BitValue(arrows, 12);
    EXPECT_EQ(GetControl32BitValue(arrows), 10);
    SetControl32BitValue(arrows, -1);
    EXPECT_EQ(GetControl32BitValue(arrows), 0);

    gPartsSeen.clear();
    SetControlAction(arrows, [](ControlRef control, int16_t part) {
        gArrowsSeen = control;
        gPartsSeen.push_back(part);
    });
    Recorder window;
    InstallWindowEventHandler(thumbnail, RecordEvent, &window);
    for (QAbstractButton* arrow : arrows->findChildren<QAbstractButton*>()) arrow->click();
    EXPECT_EQ(gArrowsSeen, arrows);
    EXPECT_EQ(gPartsSeen, (std::vector<int16_t>{kControlUpButtonPart, kControlDownButtonPart}));
    EXPECT_EQ(window.count(EventKind::ControlHit), 2);
}

TEST_F(UiTest, ListColumnWidthsGoByPropertyAndTheDefaultSparesSizedColumns) {
    WindowRef pref = LoadNibWindow("Pref");
    ControlRef list = FindNibControl(pref, 3);
    ASSERT_EQ(SetListColumnWidth(list, FourCharCode("FILE"), 179), 0);
    SetListDefaultColumnWidth(list, 300);
    int16_t width = 0;
    ASSERT_EQ(GetListColumnWidth(list, FourCharCode("FILE"), &width), 0);
    EXPECT_EQ(width, 179);
    ASSERT_EQ(GetListColumnWidth(list, FourCharCode("TITL"), &width), 0);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(GetListColumnWidth(list, FourCharCode("XXXX"), &width), kParamErr);
    EXPECT_EQ(GetListColumnWidth(FindNibControl(pref, 2), FourCharCode("FILE"), &width), kParamErr);
}

TEST_F(UiTest, ControlBoundsAreInContentCoordinatesAlsoInsideAPanel) {
    WindowRef thumbnail = LoadNibWindow("Thumbnail");
    ControlRef panel = FindNibControl(thumbnail, 3);
    ControlRef text = FindNibControl(thumbnail, 4);
    const Rect panelBounds = GetControlBounds(panel);
    const Rect textBounds = GetControlBounds(text);
    EXPECT_EQ(textBounds.left, panelBounds.left + text->x());
    SetControlBounds(text, Rect{int16_t(panelBounds.top + 1), int16_t(panelBounds.left + 2),
                                int16_t(panelBounds.top + 21), int16_t(panelBounds.left + 42)});
    EXPECT_EQ(text->geometry(), QRect(2, 1, 40, 20));
}

}  // namespace

namespace {

// Counts its ticks and rests after each unless told to go on.
struct IdleCount {
    int ticks = 0;
    bool rest = true;
};

void CountTick(void* userData) {
    auto* count = static_cast<IdleCount*>(userData);
    ++count->ticks;
    if (count->rest) RestIdleTimer();
}

}  // namespace

// The idle timer ticks while its proc has work, sleeps once it rests, and is woken by any event
// but a timer's, however many come: a stream of events must not starve it.
TEST_F(UiTest, IdleTimerRestsUntilAnEventThatIsNotATimersAndTicksThroughAStreamOfThem) {
    IdleCount count;
    count.rest = false;
    InstallIdleTimer(0.02, CountTick, &count);
    QTest::qWait(300);
    EXPECT_GE(count.ticks, 3);

    count.rest = true;
    QTest::qWait(60);
    const int rested = count.ticks;
    QTimer other;
    other.start(5);  // another timer's events leave it resting
    QTest::qWait(150);
    other.stop();
    EXPECT_EQ(count.ticks, rested);

    QObject target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QTest::qWait(100);
    EXPECT_EQ(count.ticks, rested + 1);

    QTimer stream;
    QObject::connect(&stream, &QTimer::timeout,
                     [&target] { QCoreApplication::postEvent(&target, new QEvent(QEvent::User)); });
    stream.start(5);
    QTest::qWait(400);
    stream.stop();
    EXPECT_GE(count.ticks, rested + 4);

    // A later idle timer takes the place of the first.
    IdleCount second;
    InstallIdleTimer(0.02, CountTick, &second);
    const int first = count.ticks;
    QTest::qWait(100);
    EXPECT_GE(second.ticks, 1);
    EXPECT_EQ(count.ticks, first);
    RestIdleTimer();
}
