// SPDX-License-Identifier: GPL-3.0-or-later
// instance_test.cpp - command lines, requests from later starts, held delivery, quit signals.
#include "toolkit/instance.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include "support/later_start.h"

namespace {

struct Received {
    AppleEventKind kind;
    QStringList files;
};
QList<Received> gReceived;
int16_t gAnswer = 0;

int16_t RecordingHandler(const AppleEvent& event, void*, long) {
    gReceived << Received{event.kind, event.files};
    return gAnswer;
}

class InstanceTest : public testing::Test {
protected:
    void SetUp() override {
        gReceived.clear();
        gAnswer = 0;
        for (AppleEventKind kind : {AppleEventKind::OpenApplication, AppleEventKind::OpenDocuments,
                                    AppleEventKind::PrintDocuments, AppleEventKind::Quit})
            AEInstallEventHandler(kind, RecordingHandler, 0);
    }
    void TearDown() override { LeaveRunningInstance(); }

    static void Become(const AppleEvent& launch) {
        int16_t answer = 0;
        ASSERT_EQ(JoinRunningInstance(launch, &answer), InstanceRole::Running);
    }
};

TEST(CommandLineTest, FilesBecomeAnOpenDocumentsRequestWithAbsolutePaths) {
    AppleEvent event;
    QString message;
    const QString here = QDir::currentPath();
    ASSERT_EQ(ParseCommandLine(
                  {"moviestick", "a.mp4", "sub/../b.mp4", "file:///m/c%20d.mp4", "--", "--quit"},
                  &event, &message),
              CommandLine::Request);
    EXPECT_EQ(event.kind, AppleEventKind::OpenDocuments);
    EXPECT_EQ(event.files,
              (QStringList{here + "/a.mp4", here + "/b.mp4", "/m/c d.mp4", here + "/--quit"}));

    ASSERT_EQ(ParseCommandLine({"moviestick"}, &event, &message), CommandLine::Request);
    EXPECT_EQ(event.kind, AppleEventKind::OpenApplication);
    EXPECT_TRUE(event.files.isEmpty());
}

TEST(CommandLineTest, PrintAndQuitRequestsAndTheirMistakes) {
    AppleEvent event;
    QString message;
    ASSERT_EQ(ParseCommandLine({"moviestick", "--print", "/m/a.mp4"}, &event, &message),
              CommandLine::Request);
    EXPECT_EQ(event.kind, AppleEventKind::PrintDocuments);
    EXPECT_EQ(event.files, QStringList{"/m/a.mp4"});
    ASSERT_EQ(ParseCommandLine({"moviestick", "--quit"}, &event, &message), CommandLine::Request);
    EXPECT_EQ(event.kind, AppleEventKind::Quit);

    EXPECT_EQ(ParseCommandLine({"moviestick", "--print"}, &event, &message), CommandLine::Bad);
    EXPECT_EQ(ParseCommandLine({"moviestick", "--quit", "a.mp4"}, &event, &message),
              CommandLine::Bad);
    EXPECT_EQ(ParseCommandLine({"moviestick", "--frobnicate"}, &event, &message), CommandLine::Bad);
    EXPECT_TRUE(message.contains("--frobnicate"));
    EXPECT_FALSE(message.contains('\n'));
    EXPECT_EQ(ParseCommandLine({"moviestick", "a.mp4", "--help"}, &event, &message),
              CommandLine::Usage);
    EXPECT_TRUE(message.contains("--version"));
    EXPECT_EQ(ParseCommandLine({"moviestick", "--quit", "--version"}, &event, &message),
              CommandLine::Version);
    EXPECT_EQ(ParseCommandLine({"moviestick", "--", "--version"}, &event, &message),
              CommandLine::Request);
}

TEST(CommandLineTest, OptionsAreNamedInFullAndHelpWinsOverMistakes) {
    AppleEvent event;
    QString message;
    // A lone dash is a file, not an option.
    ASSERT_EQ(ParseCommandLine({"moviestick", "-"}, &event, &message), CommandLine::Request);
    EXPECT_EQ(event.files, QStringList{QDir::currentPath() + "/-"});

    // Only --version asks for the version; -v is no option of ours.
    EXPECT_EQ(ParseCommandLine({"moviestick", "-v"}, &event, &message), CommandLine::Bad);
    EXPECT_TRUE(message.contains("-v")) << message.toStdString();
    EXPECT_EQ(ParseCommandLine({"moviestick", "--print=a.mp4"}, &event, &message),
              CommandLine::Bad);
    EXPECT_FALSE(message.contains('\n')) << message.toStdString();
    EXPECT_EQ(ParseCommandLine({"moviestick", "-h"}, &event, &message), CommandLine::Usage);

    // Asked for help, a mistake elsewhere on the line is not what the answer is about.
    EXPECT_EQ(ParseCommandLine({"moviestick", "--frobnicate", "--help"}, &event, &message),
              CommandLine::Usage);
    EXPECT_TRUE(message.startsWith("Usage: moviestick ")) << message.toStdString();
    EXPECT_TRUE(message.contains("--print")) << message.toStdString();
    EXPECT_TRUE(message.contains("--quit"));
}

TEST_F(InstanceTest, ALaterStartsDocumentsReachTheHandlerAndItsAnswerGoesBack) {
    Become({AppleEventKind::OpenApplication, {}});
    DeliverAppleEvents();
    QTest::qWait(20);
    ASSERT_EQ(gReceived.size(), 1);
    EXPECT_EQ(gReceived[0].kind, AppleEventKind::OpenApplication);

    gAnswer = -48;
    LaterStart later({AppleEventKind::OpenDocuments, {"/m/a.mp4", "/m/folder"}});
    ASSERT_TRUE(later.Finish());
    EXPECT_EQ(later.answer, -48);
    ASSERT_EQ(gReceived.size(), 2);
    EXPECT_EQ(gReceived[1].kind, AppleEventKind::OpenDocuments);
    EXPECT_EQ(gReceived[1].files, (QStringList{"/m/a.mp4", "/m/folder"}));
}

TEST_F(InstanceTest, RequestsWaitUntilTheEventLoopRunsAndComeInOrder) {
    Become({AppleEventKind::OpenDocuments, {"/m/own.mp4"}});
    LaterStart later({AppleEventKind::PrintDocuments, {"/m/b.mp4"}});
    QTest::qWait(200);
    EXPECT_TRUE(gReceived.isEmpty()) << "a request reached the application while it started";

    gAnswer = -1708;
    DeliverAppleEvents();
    ASSERT_TRUE(later.Finish());
    EXPECT_EQ(later.answer, -1708);
    ASSERT_EQ(gReceived.size(), 2);
    EXPECT_EQ(gReceived[0].kind, AppleEventKind::OpenDocuments);
    EXPECT_EQ(gReceived[0].files, QStringList{"/m/own.mp4"});
    EXPECT_EQ(gReceived[1].kind, AppleEventKind::PrintDocuments);
}

TEST_F(InstanceTest, ASocketLeftByACrashedRunIsTakenOver) {
    // A bound socket whose process is gone: the file stays and nobody answers on it.
    const QByteArray path = QFile::encodeName(InstanceServerPath());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof address.sun_path);
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    ASSERT_TRUE(QFile::exists(InstanceServerPath()));

    int16_t answer = 1;
    EXPECT_EQ(SendToRunningInstance({AppleEventKind::Quit, {}}, &answer), SendResult::NotRunning);
    Become({AppleEventKind::OpenApplication, {}});
    DeliverAppleEvents();
    LaterStart later({AppleEventKind::OpenDocuments, {"/m/a.mp4"}});
    ASSERT_TRUE(later.Finish());
    EXPECT_EQ(later.answer, 0);
}

TEST_F(InstanceTest, QuitAndPrintNeverStartAnInstanceOfTheirOwn) {
    int16_t answer = 1;
    EXPECT_EQ(JoinRunningInstance({AppleEventKind::Quit, {}}, &answer), InstanceRole::NotRunning);
    EXPECT_EQ(JoinRunningInstance({AppleEventKind::PrintDocuments, {"/m/a.mp4"}}, &answer),
              InstanceRole::NotRunning);
    EXPECT_FALSE(QFile::exists(InstanceServerPath()));
    EXPECT_EQ(answer, 1);
}

TEST_F(InstanceTest, LeavingRemovesTheSocketForTheNextStart) {
    Become({AppleEventKind::OpenApplication, {}});
    EXPECT_TRUE(QFile::exists(InstanceServerPath()));
    LeaveRunningInstance();
    EXPECT_FALSE(QFile::exists(InstanceServerPath()));
    int16_t answer = 0;
    EXPECT_EQ(SendToRunningInstance({AppleEventKind::Quit, {}}, &answer), SendResult::NotRunning);
}

// A handler that lets events in (an alert, say) sees no other request run inside it: the next
// one, sent while it runs, comes after it has returned.
QList<QString> gSteps;
std::unique_ptr<LaterStart> gSecondStart;
int16_t SlowHandler(const AppleEvent& event, void*, long) {
    const QString name = event.files.value(0);
    gSteps << "begin " + name;
    if (name == "/m/first.mp4") {
        gSecondStart = std::make_unique<LaterStart>(
            AppleEvent{AppleEventKind::OpenDocuments, {"/m/second.mp4"}});
        QTest::qWait(300);
    }
    gSteps << "end " + name;
    return 0;
}

TEST_F(InstanceTest, NoRequestIsHandledInsideAnothersHandler) {
    AEInstallEventHandler(AppleEventKind::OpenDocuments, SlowHandler, 0);
    gSteps.clear();
    Become({AppleEventKind::OpenApplication, {}});
    DeliverAppleEvents();
    QTest::qWait(20);
    LaterStart first({AppleEventKind::OpenDocuments, {"/m/first.mp4"}});
    ASSERT_TRUE(first.Finish());
    ASSERT_NE(gSecondStart, nullptr);
    ASSERT_TRUE(gSecondStart->Finish());
    gSecondStart.reset();
    EXPECT_EQ(gSteps, (QList<QString>{"begin /m/first.mp4", "end /m/first.mp4",
                                      "begin /m/second.mp4", "end /m/second.mp4"}));
}

// Held, requests wait in the order they came until the last hold is released.
TEST_F(InstanceTest, RequestsThatArriveDuringAHoldWaitForItsEnd) {
    Become({AppleEventKind::OpenApplication, {}});
    DeliverAppleEvents();
    QTest::qWait(20);
    ASSERT_EQ(gReceived.size(), 1);

    HoldAppleEvents();
    HoldAppleEvents();
    LaterStart later({AppleEventKind::OpenDocuments, {"/m/a.mp4"}});
    QTest::qWait(200);
    raise(SIGTERM);
    QTest::qWait(50);
    EXPECT_EQ(gReceived.size(), 1);
    ReleaseAppleEvents();
    QTest::qWait(50);
    EXPECT_EQ(gReceived.size(), 1) << "delivered while a hold was left";

    ReleaseAppleEvents();
    ASSERT_TRUE(later.Finish());
    QTest::qWait(20);
    ASSERT_EQ(gReceived.size(), 3);
    EXPECT_EQ(gReceived[1].kind, AppleEventKind::OpenDocuments);
    EXPECT_EQ(gReceived[2].kind, AppleEventKind::Quit);
}

TEST_F(InstanceTest, TermAndInterruptSignalsBecomeQuitEventsOnceTheLoopRuns) {
    Become({AppleEventKind::OpenApplication, {}});
    raise(SIGTERM);
    QTest::qWait(50);
    EXPECT_TRUE(gReceived.isEmpty());

    DeliverAppleEvents();
    QTest::qWait(50);
    ASSERT_EQ(gReceived.size(), 2);
    EXPECT_EQ(gReceived[0].kind, AppleEventKind::OpenApplication);
    EXPECT_EQ(gReceived[1].kind, AppleEventKind::Quit);

    raise(SIGINT);
    QTest::qWait(50);
    ASSERT_EQ(gReceived.size(), 3);
    EXPECT_EQ(gReceived[2].kind, AppleEventKind::Quit);
}

}  // namespace
