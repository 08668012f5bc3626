// SPDX-License-Identifier: GPL-3.0-or-later
// startup.cpp - the application's spine: its events, commands and menus, the idle tick, About.
#include "app/startup.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <QDir>
#include <QFile>

#include "app/mainwindow.h"
#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "movielist/opening.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "shared/windows.h"
#include "thumbnail/thumbnaildialog.h"
#include "toolkit/desktopnotify.h"
#include "toolkit/fiber.h"
#include "toolkit/fileref.h"
#include "toolkit/resources.h"
#include "toolkit/volumes.h"
#include "transfer/copyjob.h"
#include "transfer/device.h"
#include "transfer/progress.h"
#include "transfer/transferglobals.h"

AEEventHandlerProc gAELaunchApp = nullptr;
AEEventHandlerProc gAEOpenDoc = nullptr;
AEEventHandlerProc gAEPrintDoc = nullptr;
AEEventHandlerProc gAEQuit = nullptr;

static OSType FrontWindowTag() {
    WindowRef front = FrontWindow();
    return front ? GetWindowTag(front) : 0;
}

// Application events

void CreateRoutineDescriptor() {
    gAELaunchApp = AELaunchApp;
    gAEOpenDoc = AEOpenDoc;
    gAEPrintDoc = AEPrintDoc;
    gAEQuit = AEQuit;
}

void DoInstallAE() {
    AEInstallEventHandler(AppleEventKind::OpenApplication, gAELaunchApp, 0);
    AEInstallEventHandler(AppleEventKind::OpenDocuments, gAEOpenDoc, 0);
    AEInstallEventHandler(AppleEventKind::PrintDocuments, gAEPrintDoc, 0);
    AEInstallEventHandler(AppleEventKind::Quit, gAEQuit, 0);
}

int16_t AELaunchApp(const AppleEvent&, void*, long) {
    return 0;
}

int16_t AEPrintDoc(const AppleEvent&, void*, long) {
    return kErrAEEventNotHandled;
}

int16_t QuitUnlessSending() {
    if (gThreadID != 0) {
        gCopyCancelRequest = true;
        return kUserCanceledErr;
    }
    QuitApplicationEventLoop();
    return 0;
}

int16_t AEQuit(const AppleEvent&, void*, long) {
    return QuitUnlessSending();
}

// Commands

static void SetMenuCommandEnabled(OSType command, bool enabled) {
    if (enabled)
        EnableMenuCommand(command);
    else
        DisableMenuCommand(command);
}

void DoMenuControl() {
    WindowRef front = FrontWindow();
    if (!front) return;

    EnableMenuCommand(kHICommandClose);
    if (GetWindowTag(front) != kMainWindowTag) {
        for (OSType command :
             {kCommandOpen, kCommandSend, kCommandTitlesFromFileNames, kCommandRemove,
              kCommandMakeThumbnail, kCommandEditTitle, kCommandConvert})
            DisableMenuCommand(command);
        return;
    }

    EnableMenuCommand(kCommandOpen);
    const bool hasMovies = CountOpenFileInfo() > 0;
    SetMenuCommandEnabled(kCommandSend, hasMovies);
    SetMenuCommandEnabled(kCommandTitlesFromFileNames, hasMovies);
    ControlRef sendControl = nullptr;
    if (GetControlByID(front, {kControlSignature, kPrefSendButton}, &sendControl) == 0) {
        if (hasMovies)
            ActivateControl(sendControl);
        else
            DeactivateControl(sendControl);
    }

    const uint32_t selected = CountSelectedMovies(front);
    SetMenuCommandEnabled(kCommandRemove, selected >= 1);
    SetMenuCommandEnabled(kCommandConvert, selected >= 1 && gThreadID == 0);
    SetMenuCommandEnabled(kCommandMakeThumbnail, selected == 1);
    SetMenuCommandEnabled(kCommandEditTitle, selected == 1);
}

static OSStatus HandleKeyUp(uint8_t charCode) {
    constexpr uint8_t kBackspace = 8;
    constexpr uint8_t kForwardDelete = 127;
    if (FrontWindowTag() != kMainWindowTag || gEditTitleNow) return kEventNotHandledErr;
    if (charCode == kBackspace || charCode == kForwardDelete) return RemoveSelectedListItem();
    return kEventNotHandledErr;
}

// Titles from the file names, of every movie (OK) or of the selected ones (the third button).
static OSStatus SetTitlesFromFileNames() {
    const int16_t answer = ConfirmAlert(kQuestionRename);
    if (answer == kAlertCancelButton) return kUserCanceledErr;
    const DataBrowserItemState scope =
        answer == kAlertDefaultButton ? kDataBrowserItemAnyState : kDataBrowserItemIsSelected;
    ControlRef list = GetDataBrowserControl(FrontWindow());
    std::vector<DataBrowserItemID> items;
    if (GetDataBrowserItems(list, kDataBrowserNoItem, false, scope, &items) != 0) return 0;
    // One message at the end for every title that could not be stored, not one per movie.
    std::vector<MovieFailure> failures;
    for (DataBrowserItemID item : items) {
        MovieError why = MovieError::none;
        if (ChangeTitle(item, kChangeTitleFromFileName, nullptr, &why) != kNoErr &&
            why != MovieError::none)
            failures.push_back(TitleFailure(item, why));
    }
    const OSStatus status =
        items.empty()
            ? 0
            : UpdateDataBrowserItems(list, kDataBrowserNoItem, uint32_t(items.size()), items.data(),
                                     kDataBrowserItemNoProperty, kDataBrowserItemNoProperty);
    Draw1Control(list);
    DoTitleFailureMessage(failures);
    return status;
}

// Sends every movie or the selected ones to the chosen device, after asking which.
static OSStatus SendCommand() {
    if (CountOpenFileInfo() == 0) return kEventNotHandledErr;
    if (!IsPSP(gPref.devicePath)) {
        DoMessage(kAlertCaution, QStringLiteral("FindPSPErr"), 0);
        return kEventNotHandledErr;
    }
    DataBrowserItemState scope;
    switch (ConfirmAlert(kQuestionSend)) {
        case kAlertDefaultButton:
            scope = kDataBrowserItemAnyState;
            break;
        case kAlertOtherButton:
            scope = kDataBrowserItemIsSelected;
            break;
        default:
            return kEventNotHandledErr;
    }
    if (!CheckFreeSpace(scope)) return kEventNotHandledErr;
    return SendToPSP(scope);
}

static OSStatus HandleCommand(OSType command) {
    // No command of ours acts on a dialog or the About window.
    if (FrontWindowTag() != kMainWindowTag) return kEventNotHandledErr;
    switch (command) {
        case kCommandRemove:
            return RemoveSelectedListItem();
        case kCommandAbout:
            return DoAbout();
        case kCommandMakeThumbnail:
            if (gQuickTimeVersion <= kLastQuickTimeWithoutThumbnails) {
                DoMessage(kAlertNote, QStringLiteral("qtErr"), 0);
                return kEventNotHandledErr;
            }
            if (WindowRef front = FrontWindow(); DoMakeThumbnail(front))
                gUpdateControl = GetDataBrowserControl(front);
            return 0;
        case kCommandSend:
            return SendCommand();
        case kCommandOpen:
            DoOpenDialog();
            return 0;
        case kCommandTitlesFromFileNames:
            return SetTitlesFromFileNames();
        case kCommandEditTitle:
            return EditSelectedTitle();
        case kCommandConvert:
            // One job at a time: a send or another conversion runs the progress window.
            if (gThreadID != 0) return kEventNotHandledErr;
            return ConvertBesideMovies(kDataBrowserItemIsSelected);
        default:
            return kEventNotHandledErr;
    }
}

OSStatus ApplicationHandler(const EventRecord& event, void*) {
    switch (event.kind) {
        case EventKind::WindowActivated:
            DoMenuControl();
            return kEventNotHandledErr;
        case EventKind::RawKeyUp:
            return HandleKeyUp(event.charCode);
        case EventKind::ProcessCommand:
            return HandleCommand(event.command);
        default:
            return kEventNotHandledErr;
    }
}

// Idle tick

// Between events there is nothing to do unless a send runs: the pop-up changes only when the
// mount table does, which the event loop hears, and the deferred selection update is set while
// an event is handled. Once that update is done, and unless the table cannot be watched, the
// tick rests until the next event.
static void RestUnlessPending() {
    if (!gUpdateControl && MountTableWatched()) RestIdleTimer();
}

void IdleProc(void*) {
    WindowRef front = FrontWindow();
    if (!front) {
        RestUnlessPending();
        return;
    }
    switch (GetWindowTag(front)) {
        case kMainWindowTag:
            (void)CreatePSPMenu(front, false);
            if (gUpdateControl) {
                HandleDataBrowserSelect(gUpdateControl);
                gUpdateControl = nullptr;
            }
            RestUnlessPending();
            break;
        case kWindowTagProgress:
            // While the copy runs, the progress display is fed from here and the copy is given
            // its turn; once it has ended, its progress window closes.
            if (gThreadID != 0) {
                ProgressIdle(front, gCopyCount, gCopyTotal, gCurrentSize, gTotalSize);
                SetTaskbarProgress(gTotalSize ? double(gCurrentSize) / double(gTotalSize) : 0.0);
                (void)YieldToAnyThread();
            } else {
                ClearTaskbarProgress();
                (void)QuitAppModalLoopForWindow(front);
            }
            break;
        default:
            RestUnlessPending();
            break;
    }
}

// About

WindowRef GetAboutWindow() {
    for (WindowRef window : WindowList())
        if (GetWindowTag(window) == kWindowTagAbout) return window;
    return nullptr;
}

OSStatus DoAbout() {
    if (WindowRef about = GetAboutWindow()) {
        SelectWindow(about);
        return 0;
    }

    WindowRef window = nullptr;
    if (const OSStatus status =
            LoadTaggedWindow(QStringLiteral("About"), kWindowTagAbout, LoadFailure::told, &window);
        status != 0)
        return status;
    ShowWindow(window);
    return 0;
}

// Interface folder repair

// Renames without replacing what has the new name already: a folder "main.nib" next to the
// wrong one is left alone and the rename fails with -48.
static int16_t RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return StatusFromErrno(errno);
    // A file system that cannot rename without replacing.
    if (QFile::exists(QFile::decodeName(to.c_str()))) return kDupFNErr;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : StatusFromErrno(errno);
}

bool RepairNibFile() {
    const QDir folder(ResourceFolder());
    // Only the exact upper-case name counts: on a file system that ignores case, the right
    // name would match as well.
    const QString wrongName = QStringLiteral("MAIN.nib");
    if (!folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).contains(wrongName)) return true;

    FSRef ref;
    if (FSPathMakeRef(QFile::encodeName(folder.filePath(wrongName)).constData(), &ref) != 0)
        return true;
    std::string path;
    if (FSRefCurrentPath(&ref, &path) != 0) return true;

    const std::string rightPath = QFile::encodeName(folder.filePath("main.nib")).toStdString();
    const int16_t status = RenameNoReplace(path, rightPath);
    DoMessage(kAlertNote, QStringLiteral("NibFileDamagedErr"), status);
    return false;
}
