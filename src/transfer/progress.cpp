// SPDX-License-Identifier: GPL-3.0-or-later
// progress.cpp - the progress window of a send, and its estimate of the time left.
#include "transfer/progress.h"

#include <algorithm>
#include <ctime>

#include <QFontMetrics>
#include <QString>
#include <QWidget>

#include "movielist/movielist.h"
#include "shared/ids.h"
#include "shared/messages.h"
#include "shared/windows.h"
#include "toolkit/localized.h"
#include "transfer/transferglobals.h"

// The window while it is open.
static WindowRef gProgressWindow = nullptr;

static uint32_t ClockSeconds() {
    return uint32_t(time(nullptr));
}

// Redrawn only when the text changes: the lines are set on every tick.
static void SetLine(ControlRef line, const QString& text) {
    if (!line || GetControlText(line) == text) return;
    SetControlText(line, text);
    Draw1Control(line);
}

// A name too long for the line loses its middle, so that its start, its ending and the place in
// the send stay in sight; a screen reader still hears it whole.
static void SetFileLine(ControlRef line, const QString& name, int32_t count, int32_t total) {
    if (!line) return;
    const QString whole = ProgressFileText(name, count, total);
    const QFontMetrics metrics(line->font());
    const int room = line->contentsRect().width();
    QString shown = whole;
    if (metrics.horizontalAdvance(whole) > room) {
        const int rest = metrics.horizontalAdvance(ProgressFileText(QString(), count, total));
        shown = ProgressFileText(
            metrics.elidedText(name, Qt::ElideMiddle, std::max(room - rest, 0)), count, total);
    }
    SetLine(line, shown);
    if (line->accessibleName() != whole) SetControlAccessibleName(line, whole);
}

int16_t ProgressStart(WindowRef parent) {
    gCopyCancelRequest = false;
    WindowRef window = nullptr;
    if (LoadTaggedWindow(QStringLiteral("Progress"), kWindowTagProgress, LoadFailure::silent,
                         &window) != 0)
        return 0;
    if (parent) {
        const Rect own = GetWindowStructureBounds(window);
        const WindowOrigin origin = CentredOver(GetWindowStructureBounds(parent),
                                                own.right - own.left, own.bottom - own.top);
        MoveWindowStructure(window, origin.left, origin.top);
    }
    gProgressStart = ClockSeconds();
    InstallWindowEventHandler(window, WindowHandlerProgress, nullptr);
    gProgressWindow = window;
    ShowWindow(window);
    (void)RunAppModalLoopForWindow(window);
    DisposeWindow(window);
    gProgressWindow = nullptr;
    return 0;
}

OSStatus WindowHandlerProgress(const EventRecord& event, void*) {
    // The window stays until the copy thread has wound down; the idle tick closes it.
    if (event.kind == EventKind::ProcessCommand && event.command == kProgressCancelCommand)
        gCopyCancelRequest = true;
    return kEventNotHandledErr;
}

uint32_t ProgressSecondsLeft(uint64_t done, uint64_t total, uint32_t elapsed) {
    if (done == 0) return 1;
    const uint64_t remaining = done < total ? total - done : 0;
    const double left = double(elapsed) / double(done) * double(remaining);
    // Beyond 64 bits only the low 32 would be kept anyway; such an estimate means nothing.
    const int64_t whole = left < 9.2e18 ? int64_t(left) : 0;
    return uint32_t(uint64_t(whole)) + 1;
}

QString ProgressInfoText(uint64_t done, uint64_t total, uint32_t secondsLeft) {
    // The same decimal units as the disk-full message and the desktop's file manager; both
    // rounded down, so that what is done never reads as more than the whole.
    const QString sizeDone = SizeString(done, false);
    const QString sizeTotal = SizeString(total, false);
    if (secondsLeft > 60)
        return LocalizedString(QStringLiteral("prograssInfoMins"))
            .arg(sizeDone, sizeTotal, QString::number(secondsLeft / 60),
                 QString::number(secondsLeft % 60));
    return LocalizedString(QStringLiteral("prograssInfoSecs"))
        .arg(sizeDone, sizeTotal, QString::number(secondsLeft));
}

QString ProgressFileText(const QString& name, int32_t count, int32_t total) {
    if (gCopyConverting)
        return LocalizedString(QStringLiteral("progressConvertingFileName"))
            .arg(name, QString::number(count), QString::number(total));
    if (total <= 1) return LocalizedString(QStringLiteral("prograssFileName")).arg(name);
    return LocalizedString(QStringLiteral("prograssFileOf"))
        .arg(name, QString::number(count), QString::number(total));
}

void ProgressIdle(WindowRef window, int32_t count, int32_t total, uint64_t done,
                  uint64_t totalSize) {
    // The bar and both lines are brought up to date together, so that they never disagree.
    ControlRef bar = FindControl(window, kProgressBar);
    if (!bar) return;
    const double percent = totalSize == 0 ? 0.0 : double(done) / double(totalSize) * 100.0;
    SetControl32BitValue(bar, int32_t(std::min(percent, 1e9)));
    ControlRef infoLine = FindControl(window, kProgressInfoLine);
    if (count < 1 || count > total) {
        SetLine(infoLine, QString());
        return;
    }
    // The movie is named as soon as its copy begins; until then the line keeps what it said.
    QString name;
    if (gCopyFileIndex >= 0 && gCopyFileIndex < CountOpenFileInfo() &&
        CFStringNameFromFSRef(&name, &(*gOpenFile)[size_t(gCopyFileIndex)].fileRef, true) == 0 &&
        !name.isEmpty())
        SetFileLine(FindControl(window, kProgressFileLine), name, count, total);
    // Below one percent the rate says too little for an estimate.
    if (GetControl32BitValue(bar) < 1) {
        SetLine(infoLine, QString());
        return;
    }
    const uint32_t elapsed = ClockSeconds() - gProgressStart;
    SetLine(infoLine,
            ProgressInfoText(done, totalSize, ProgressSecondsLeft(done, totalSize, elapsed)));
}
