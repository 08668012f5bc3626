// main.cpp - starts moviestick, or hands this start's files to the moviestick already running.
#include <cstdio>

#include <QApplication>

#include "app/mainwindow.h"
#include "app/prefs.h"
#include "app/startup.h"
#include "app/transferglobals.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "toolkit/alerts.h"
#include "toolkit/gestalt.h"
#include "toolkit/instance.h"
#include "toolkit/movietoolkit.h"
#include "toolkit/resources.h"

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

// Returns the process's exit status when this start ends here, or -1 to go on.
static int JoinOrForward(const QStringList& arguments) {
    AppleEvent launch;
    QString message;
    switch (ParseCommandLine(arguments, &launch, &message)) {
        case CommandLine::Usage:
            std::fputs(qPrintable(message), stdout);
            return 0;
        case CommandLine::Bad:
            std::fprintf(stderr, "%s\n", qPrintable(message));
            return 2;
        case CommandLine::Request:
            break;
    }
    int16_t answer = 0;
    switch (JoinRunningInstance(launch, &answer)) {
        case InstanceRole::Running:
        case InstanceRole::Alone:
            return -1;
        case InstanceRole::Forwarded:
            if (answer == 0) return 0;
            std::fprintf(stderr, "moviestick: %s (status %d)\n", AnswerText(answer), answer);
            return 1;
        case InstanceRole::NoAnswer:
            std::fputs("moviestick: the running moviestick ended without answering\n", stderr);
            return 1;
        case InstanceRole::NotRunning:
            std::fputs("moviestick: moviestick is not running\n", stderr);
            return 1;
    }
    return 1;
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("moviestick"));
    QApplication::setOrganizationName(QStringLiteral("moviestick"));
    SetDesktopIdentity();
    if (const int exitStatus = JoinOrForward(QApplication::arguments()); exitStatus >= 0)
        return exitStatus;
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
    InstallEventLoopTimer(0.1, 0.1, IdleProc, nullptr);
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
