// SPDX-License-Identifier: GPL-3.0-or-later
// startup_test.cpp - commands and menus by the front window, About, quit and print, the idle
// tick and the repair of a wrongly named interface folder.
#include "app/startup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/mainwindow.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "shared/prefs.h"
#include "toolkit/alerts.h"
#include "toolkit/localized.h"
#include "toolkit/resources.h"
#include "transfer/transferglobals.h"

namespace {

// The main window and the menu bar, made as at start-up and kept for the tests of the suite.
QPointer<QWidget> gMainWindow;

// The progress window, tagged and shown as a send shows it; null (and a failure) when it cannot
// be loaded.
WindowRef ShowProgressWindow() {
    NibRef* nib = nullptr;
    EXPECT_EQ(CreateNibReference("main", &nib), 0);
    WindowRef progress = nullptr;
    EXPECT_EQ(CreateWindowFromNib(nib, "Progress", &progress), 0);
    DisposeNibReference(nib);
    if (!progress) return nullptr;
    SetWindowTag(progress, kWindowTagProgress);
    ShowWindow(progress);
    return progress;
}

// Runs the progress window's modal loop until something ends it, or for 5 s; the milliseconds
// it ran.
qint64 RunProgressLoopAtMost5Seconds(WindowRef progress) {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout,
                     [progress] { (void)QuitAppModalLoopForWindow(progress); });
    guard.start(5000);
    QElapsedTimer clock;
    clock.start();
    (void)RunAppModalLoopForWindow(progress);
    return clock.elapsed();
}

class StartupTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (gMainWindow) return;
        CreateRoutineDescriptor();
        DoInstallAE();
        NibRef* nib = nullptr;
        ASSERT_EQ(CreateNibReference("main", &nib), 0);
        ASSERT_EQ(SetMenuBarFromNib(nib, "MenuBar"), 0);
        DisposeNibReference(nib);
        InstallApplicationEventHandler(ApplicationHandler, nullptr);
        ASSERT_TRUE(DoPref());
        // The window shown last is the front one.
        gMainWindow = FrontWindow();
        ASSERT_EQ(GetWindowTag(gMainWindow), kMainWindowTag);
    }

    static void TearDownTestSuite() {
        while (WindowRef about = GetAboutWindow()) DisposeWindow(about);
        if (gMainWindow) DisposeWindow(gMainWindow);
    }

    void SetUp() override {
        ASSERT_NE(gMainWindow, nullptr);
        SetAlertResponder([this](const AlertRecord& alert) {
            alerts << alert;
            return kAlertDefaultButton;
        });
        while (WindowRef about = GetAboutWindow()) DisposeWindow(about);
        SelectWindow(gMainWindow);
        QTest::qWait(20);
        ASSERT_EQ(FrontWindow(), gMainWindow);
        DisposeOpenFileInfo();
        gThreadID = 0;
        gCopyCancelRequest = false;
        gEditTitleNow = false;
    }

    void TearDown() override {
        SetAlertResponder({});
        gThreadID = 0;
        gCopyCancelRequest = false;
        DisposeOpenFileInfo();
    }

    void AddMovie() {
        const QString path = folder.filePath(QStringLiteral("Clip%1.mp4").arg(++movies));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not really a movie");
        file.close();
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(QFile::encodeName(path).constData(), &ref), 0);
        ASSERT_EQ(CreateOpenFileInfo(&ref, CountOpenFileInfo()), 0);
    }

    static bool SendControlActive() {
        ControlRef control = nullptr;
        EXPECT_EQ(GetControlByID(gMainWindow, {kControlSignature, kPrefSendButton}, &control), 0);
        return control && IsControlActive(control);
    }

    static OSStatus Command(OSType command) {
        return ApplicationHandler({EventKind::ProcessCommand, command}, nullptr);
    }

    static int AboutWindowCount() {
        int count = 0;
        for (WindowRef window : WindowList()) count += GetWindowTag(window) == kWindowTagAbout;
        return count;
    }

    QTemporaryDir folder;
    int movies = 0;
    QList<AlertRecord> alerts;
};

TEST_F(StartupTest, MainWindowInFrontEnablesSendingOnlyWithMovies) {
    DoMenuControl();
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandOpen));
    EXPECT_TRUE(IsMenuCommandEnabled(kHICommandClose));
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandSend));
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandTitlesFromFileNames));
    EXPECT_FALSE(SendControlActive());
    // Nothing is selected in the list.
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandRemove));
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandMakeThumbnail));

    AddMovie();
    EXPECT_EQ(ApplicationHandler({EventKind::WindowActivated, 0, gMainWindow}, nullptr),
              kEventNotHandledErr);
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandSend));
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandTitlesFromFileNames));
    EXPECT_TRUE(SendControlActive());
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandRemove));

    DisposeOpenFileInfo();
    DoMenuControl();
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandSend));
    EXPECT_FALSE(SendControlActive());
}

TEST_F(StartupTest, AnotherWindowInFrontDisablesTheListCommandsButNotClose) {
    AddMovie();
    DoMenuControl();
    ASSERT_TRUE(SendControlActive());

    ASSERT_EQ(DoAbout(), 0);
    QTest::qWait(20);
    ASSERT_EQ(FrontWindow(), GetAboutWindow());
    DoMenuControl();
    for (OSType command : {kCommandOpen, kCommandSend, kCommandTitlesFromFileNames, kCommandRemove,
                           kCommandMakeThumbnail})
        EXPECT_FALSE(IsMenuCommandEnabled(command)) << FourCharCodeString(command).toStdString();
    EXPECT_TRUE(IsMenuCommandEnabled(kHICommandClose));
    EXPECT_TRUE(SendControlActive()) << "the main window's send control is left as it was";

    SelectWindow(gMainWindow);
    QTest::qWait(20);
    DoMenuControl();
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandSend));
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandOpen));
}

TEST_F(StartupTest, CommandsDoNothingWhileTheAboutWindowIsInFront) {
    AddMovie();
    ASSERT_EQ(DoAbout(), 0);
    QTest::qWait(20);
    for (OSType command : {kCommandOpen, kCommandRemove, kCommandTitlesFromFileNames,
                           kCommandMakeThumbnail, kCommandSend, kCommandAbout})
        EXPECT_EQ(Command(command), kEventNotHandledErr)
            << FourCharCodeString(command).toStdString();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(AboutWindowCount(), 1);
    EXPECT_EQ(CountOpenFileInfo(), 1);
}

TEST_F(StartupTest, MakingAThumbnailWithoutTheMovieToolkitShowsANote) {
    const int32_t saved = gQuickTimeVersion;
    gQuickTimeVersion = 0;
    EXPECT_EQ(Command(kCommandMakeThumbnail), kEventNotHandledErr);
    gQuickTimeVersion = saved;
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, kAlertNote);
    EXPECT_EQ(alerts[0].message, LocalizedString("qtErr"));
    EXPECT_TRUE(alerts[0].explanation.isEmpty());
}

TEST_F(StartupTest, SendingAnEmptyListDoesNothingAndShowsNothing) {
    EXPECT_EQ(Command(kCommandSend), kEventNotHandledErr);
    EXPECT_TRUE(alerts.isEmpty());
}

// A missing PSP is something the user can put right, not a failure of the program: a warning that
// says how, rather than pointing at the device menu, which is greyed out without a PSP.
TEST_F(StartupTest, SendingWithoutAPspWarnsToConnectItInUsbMode) {
    AddMovie();
    gPref.devicePath[0] = '\0';
    EXPECT_EQ(Command(kCommandSend), kEventNotHandledErr);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, kAlertCaution);
    EXPECT_TRUE(alerts[0].message.contains("USB mode")) << alerts[0].message.toStdString();
    EXPECT_TRUE(alerts[0].explanation.isEmpty());
}

TEST_F(StartupTest, AboutTwiceShowsOneWindowBroughtToTheFront) {
    ASSERT_EQ(Command(kCommandAbout), 0);
    QTest::qWait(20);
    WindowRef about = GetAboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());

    SelectWindow(gMainWindow);
    QTest::qWait(20);
    ASSERT_EQ(FrontWindow(), gMainWindow);
    ASSERT_EQ(Command(kCommandAbout), 0);
    QTest::qWait(20);
    EXPECT_EQ(AboutWindowCount(), 1);
    EXPECT_EQ(GetAboutWindow(), about);
    EXPECT_EQ(FrontWindow(), about);
}

TEST_F(StartupTest, DeleteKeysRemoveOnlyFromTheMainWindowAndNotWhileATitleIsEdited) {
    auto keyUp = [](uint8_t charCode) {
        return ApplicationHandler({EventKind::RawKeyUp, 0, nullptr, nullptr, charCode}, nullptr);
    };
    // The removal answers 0 (it asks and removes itself); every other case is left alone.
    EXPECT_EQ(keyUp(8), 0);
    EXPECT_EQ(keyUp(127), 0);
    EXPECT_EQ(keyUp('a'), kEventNotHandledErr);
    gEditTitleNow = true;
    EXPECT_EQ(keyUp(8), kEventNotHandledErr);
    gEditTitleNow = false;
    ASSERT_EQ(DoAbout(), 0);
    QTest::qWait(20);
    EXPECT_EQ(keyUp(127), kEventNotHandledErr);
}

TEST_F(StartupTest, QuitDuringATransferCancelsItAndKeepsRunning) {
    gThreadID = 1;
    int16_t duringTransfer = 0;
    int16_t afterTransfer = 1;
    bool stillRunning = false;
    QTimer::singleShot(0, [&] { duringTransfer = AEDispatch({AppleEventKind::Quit, {}}); });
    QTimer::singleShot(50, [&] {
        stillRunning = true;
        gThreadID = 0;
        afterTransfer = AEDispatch({AppleEventKind::Quit, {}});
    });
    // A loop that the quit event does not end would hang the test here: end it in any case.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QuitApplicationEventLoop(); });
    guard.start(5000);
    RunApplicationEventLoop();
    EXPECT_EQ(duringTransfer, kUserCanceledErr);
    EXPECT_TRUE(gCopyCancelRequest);
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(afterTransfer, 0);
}

TEST_F(StartupTest, IdleTickEndsTheProgressLoopOnceTheTransferHasEnded) {
    WindowRef progress = ShowProgressWindow();
    ASSERT_NE(progress, nullptr);

    gThreadID = 1;
    bool tickedWhileRunning = false;
    bool transferEnded = false;
    QTimer::singleShot(30, [&] {
        IdleProc(nullptr);
        tickedWhileRunning = true;
    });
    QTimer::singleShot(60, [&] {
        gThreadID = 0;
        transferEnded = true;
        IdleProc(nullptr);
    });
    const qint64 elapsed = RunProgressLoopAtMost5Seconds(progress);
    EXPECT_TRUE(tickedWhileRunning);
    EXPECT_TRUE(transferEnded);
    EXPECT_LT(elapsed, 4000);
    DisposeWindow(progress);
}

// The idle timer as the application runs it: an event over the main window wakes it for the
// deferred selection update, and while a send runs it goes on ticking with no event at all, so
// that the copy keeps getting its turns and its progress loop ends when it does.
TEST_F(StartupTest, IdleTimerWakesForTheMainWindowAndKeepsTickingWhileASendRuns) {
    InstallIdleTimer(0.02, IdleProc, nullptr);
    QTest::qWait(100);
    ControlRef list = GetDataBrowserControl(gMainWindow);
    ASSERT_NE(list, nullptr);
    gUpdateControl = list;
    QObject target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QTest::qWait(200);
    EXPECT_EQ(gUpdateControl, nullptr);

    WindowRef progress = ShowProgressWindow();
    ASSERT_NE(progress, nullptr);
    gThreadID = 1;
    // Ended from a timer, whose event does not wake a resting idle timer.
    QTimer::singleShot(300, [] { gThreadID = 0; });
    const qint64 elapsed = RunProgressLoopAtMost5Seconds(progress);
    EXPECT_LT(elapsed, 4000);
    DisposeWindow(progress);
    // The other tests tick by hand.
    InstallIdleTimer(
        60, [](void*) { RestIdleTimer(); }, nullptr);
}

// The interface folder under a copy of the resource folder, so that the real one stays intact.
class RepairNibFileTest : public testing::Test {
protected:
    void SetUp() override {
        original = ResourceFolder();
        ASSERT_TRUE(CopyFolder(original + "/main.nib", copy.filePath("main.nib")));
        SetResourceFolder(copy.path());
        SetAlertResponder([this](const AlertRecord& alert) {
            alerts << alert;
            return kAlertDefaultButton;
        });
    }
    void TearDown() override {
        SetAlertResponder({});
        SetResourceFolder(original);
    }

    static bool CopyFolder(const QString& from, const QString& to) {
        if (!QDir().mkpath(to)) return false;
        for (const QString& name : QDir(from).entryList(QDir::Files))
            if (!QFile::copy(from + "/" + name, to + "/" + name)) return false;
        return true;
    }

    QString original;
    QTemporaryDir copy;
    QList<AlertRecord> alerts;
};

TEST_F(RepairNibFileTest, TheRightNameNeedsNoRepair) {
    EXPECT_TRUE(RepairNibFile());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(RepairNibFileTest, AnUpperCaseNameIsRepairedAndTheApplicationEnds) {
    ASSERT_TRUE(QDir(copy.path()).rename("main.nib", "MAIN.nib"));
    EXPECT_FALSE(RepairNibFile());
    EXPECT_TRUE(QFileInfo(copy.filePath("main.nib/Pref.ui")).isFile());
    EXPECT_FALSE(QFileInfo::exists(copy.filePath("MAIN.nib")));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].kind, kAlertNote);
    EXPECT_EQ(alerts[0].message, LocalizedString("NibFileDamagedErr"));
    EXPECT_TRUE(alerts[0].explanation.isEmpty()) << "the rename worked: no error code";

    // The next start finds the right name and goes on.
    EXPECT_TRUE(RepairNibFile());
    EXPECT_EQ(alerts.size(), 1);
}

TEST_F(RepairNibFileTest, AFailedRepairShowsItsStatusAndStillEndsTheApplication) {
    // Both names: the rename must not replace the folder that has the right name.
    ASSERT_TRUE(CopyFolder(copy.filePath("main.nib"), copy.filePath("MAIN.nib")));
    EXPECT_FALSE(RepairNibFile());
    EXPECT_TRUE(QFileInfo::exists(copy.filePath("MAIN.nib")));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].message, LocalizedString("NibFileDamagedErr"));
    EXPECT_TRUE(alerts[0].explanation.contains("-48")) << alerts[0].explanation.toStdString();
}

}  // namespace
