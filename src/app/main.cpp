// SPDX-License-Identifier: GPL-3.0-or-later
// main.cpp - starts moviestick, or hands this start's files to the moviestick already running.
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QList>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "shared/prefs.h"
#include "toolkit/alerts.h"
#include "toolkit/gestalt.h"
#include "toolkit/instance.h"
#include "toolkit/movietoolkit.h"
#include "toolkit/resources.h"
#include "transfer/transferglobals.h"

static void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("moviestick"));
    QCoreApplication::setOrganizationName(QStringLiteral("moviestick"));
}

// What the running instance's answer means to the one who started us.
static const char* AnswerText(int16_t answer) {
    switch (answer) {
        case kUserCanceledErr:
            return "a transfer is running: it is being cancelled instead";
        case kErrAEEventNotHandled:
            return "printing is not offered";
        case -48:
            return "the last item was a folder, a duplicate or not a movie";
        default:
            return "the request failed";
    }
}

static int ExitForAnswer(int16_t answer) {
    if (answer == 0) return 0;
    std::fprintf(stderr, "moviestick: %s (status %d)\n", AnswerText(answer), answer);
    return 1;
}

static int ExitForNoAnswer() {
    std::fputs("moviestick: the running moviestick ended without answering\n", stderr);
    return 1;
}

// Everything that needs no window: the command line's own answers, and requests for the
// moviestick that runs already. The process's exit status when this start ends here, or -1
// when it goes on to show the window.
static int AnswerWithoutWindow(const QStringList& arguments, AppleEvent* launch) {
    QString message;
    switch (ParseCommandLine(arguments, launch, &message)) {
        case CommandLine::Usage:
            std::fputs(qPrintable(message), stdout);
            return 0;
        case CommandLine::Version:
            std::printf("moviestick %s\n", MOVIESTICK_VERSION);
            return 0;
        case CommandLine::Bad:
            std::fprintf(stderr, "%s\n", qPrintable(message));
            return 2;
        case CommandLine::Request:
            break;
    }
    int16_t answer = 0;
    switch (SendToRunningInstance(*launch, &answer)) {
        case SendResult::Answered:
            return ExitForAnswer(answer);
        case SendResult::NoAnswer:
            return ExitForNoAnswer();
        case SendResult::NotRunning:
            break;
    }
    if (launch->kind == AppleEventKind::Quit || launch->kind == AppleEventKind::PrintDocuments) {
        std::fputs("moviestick: moviestick is not running\n", stderr);
        return 1;
    }
    return -1;
}

// Qt ends the process with an abort and a page of advice when it finds no display. While the
// application object is made, its messages are kept back: when it cannot be made, one line says
// why and the process ends with 1; otherwise they go out as they would have.
struct KeptMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
static QList<KeptMessage> gKeptMessages;
static QtMessageHandler gPreviousHandler = nullptr;

static void KeepStartMessage(QtMsgType type, const QMessageLogContext& context,
                             const QString& text) {
    if (type != QtFatalMsg) {
        gKeptMessages.append({type, QByteArray(context.category), text});
        return;
    }
    QString reason = QStringLiteral("no display could be opened");
    for (const KeptMessage& kept : gKeptMessages)
        if (kept.category.startsWith("qt.qpa")) {
            reason = kept.text.simplified();
            break;
        }
    std::fprintf(stderr,
                 "moviestick: cannot show its window: %s (start it on a desktop, or under "
                 "xvfb-run)\n",
                 qPrintable(reason));
    std::fflush(stderr);
    std::_Exit(1);
}

static void StartKeepingMessages() {
    gPreviousHandler = qInstallMessageHandler(KeepStartMessage);
}

static void StopKeepingMessages() {
    qInstallMessageHandler(gPreviousHandler);
    for (const KeptMessage& kept : std::exchange(gKeptMessages, {})) {
        const QMessageLogContext context(nullptr, 0, nullptr, kept.category.constData());
        qt_message_output(kept.type, context, kept.text);
    }
}

// Returns the process's exit status when this start ends here, or -1 to go on.
static int JoinOrForward(const AppleEvent& launch) {
    int16_t answer = 0;
    switch (JoinRunningInstance(launch, &answer)) {
        case InstanceRole::Running:
        case InstanceRole::Alone:
            return -1;
        case InstanceRole::Forwarded:
            return ExitForAnswer(answer);
        case InstanceRole::NoAnswer:
            return ExitForNoAnswer();
        case InstanceRole::NotRunning:
            std::fputs("moviestick: moviestick is not running\n", stderr);
            return 1;
    }
    return 1;
}

int main(int argc, char** argv) {
    AppleEvent launch;
    {
        QCoreApplication core(argc, argv);
        NameApplication();
        if (const int exitStatus = AnswerWithoutWindow(QCoreApplication::arguments(), &launch);
            exitStatus >= 0)
            return exitStatus;
    }

    StartKeepingMessages();
    QApplication application(argc, argv);
    StopKeepingMessages();
    NameApplication();
    SetDesktopIdentity();
    // Another start may have become the instance since we asked.
    if (const int exitStatus = JoinOrForward(launch); exitStatus >= 0) return exitStatus;
    // Interface files are translated as they load.
    InstallTranslations();

    gOpenFile = nullptr;
    gOpenFileID = nullptr;
    gThreadID = 0;
    gCopyFileIndex = 0;
    gCopyTotal = 0;
    gCopyCount = 0;
    gCopyCancelRequest = false;
    gVolumeList = nullptr;
    gUpdateControl = nullptr;
    gEditTitleNow = false;
    gStopOpen = false;
    // Without the movie toolkit the version query reports none and thumbnails stay off.
    (void)EnterMovies();

    CreateRoutineDescriptor();
    DoInstallAE();
    GetCFPreferences();
    if (Gestalt(kGestaltSystemVersion, &gSysVersion) != 0) gSysVersion = 0;
    if (Gestalt(kGestaltQuickTimeVersion, &gQuickTimeVersion) != 0) gQuickTimeVersion = 0;

    if (!RepairNibFile()) {
        LeaveRunningInstance();
        return 0;
    }

    NibRef* nib = nullptr;
    if (CreateNibReference(QStringLiteral("main"), &nib) == 0) {
        (void)SetMenuBarFromNib(nib, QStringLiteral("MenuBar"));
        DisposeNibReference(nib);
    }
    InstallIdleTimer(0.1, IdleProc, nullptr);
    InstallApplicationEventHandler(ApplicationHandler, nullptr);
    SetArrowCursor();

    if (DoPref()) {
        DeliverAppleEvents();
        RunApplicationEventLoop();
    }
    SaveCFPreferences();
    ExitMovies();
    LeaveRunningInstance();
    return 0;
}
