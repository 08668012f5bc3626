// SPDX-License-Identifier: GPL-3.0-or-later
// thumbnaildialog.cpp - the frame-picking thumbnail dialog: a player for the selected movie, two
// rows that step its time back and forth, OK to write the thumbnail from the frame shown.
#include "thumbnail/thumbnaildialog.h"

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <QImage>
#include <QString>

#include "shared/application.h"
#include "shared/entries.h"
#include "shared/ids.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "shared/windows.h"
#include "thumbnail/thumbnailfile.h"
#include "toolkit/alerts.h"
#include "toolkit/listcontrol.h"
#include "toolkit/moviecontrol.h"
#include "toolkit/movietoolkit.h"
#include "toolkit/numberentry.h"

namespace {

// The dialog's controls.
constexpr int32_t kThumbnailOKButton = 1;
constexpr int32_t kThumbnailCancelButton = 2;
constexpr int32_t kThumbnailStepPanel = 3;
constexpr int32_t kThumbnailStep1Text = 4;
constexpr int32_t kThumbnailStep1Arrows = 5;
constexpr int32_t kThumbnailStep2Text = 8;
constexpr int32_t kThumbnailStep2Arrows = 9;

// The step buttons' commands.
constexpr OSType kCommandStep1Back = 6;
constexpr OSType kCommandStep1Forward = 7;
constexpr OSType kCommandStep2Back = 10;
constexpr OSType kCommandStep2Forward = 11;

// Narrower movies are shown in a window this wide, centred.
constexpr int16_t kMinimumDialogWidth = 200;
// Room below the movie for the stepping panel and the buttons.
constexpr int16_t kDialogExtraHeight = 110;

void ShowStep(WindowRef window, int32_t textID, int32_t seconds) {
    if (ControlRef text = FindControl(window, textID)) {
        SetControlText(text, QString::asprintf("%d", seconds));
        Draw1Control(text);
    }
}

}  // namespace

struct ThumbnailDialogContext {
    WindowRef window;
    Preferences* prefs;
    Movie movie;
    uint32_t itemID;
    bool made;
};

void LayoutThumbnailDialog(WindowRef window, int16_t width, int16_t height) {
    ControlRef ok = FindControl(window, kThumbnailOKButton);
    ControlRef cancel = FindControl(window, kThumbnailCancelButton);
    ControlRef panel = FindControl(window, kThumbnailStepPanel);
    auto moveTo = [](ControlRef control, int left, int top, int controlWidth) {
        const Rect old = GetControlBounds(control);
        const int controlHeight = old.bottom - old.top;
        SetControlBounds(control, {int16_t(top), int16_t(left), int16_t(top + controlHeight),
                                   int16_t(left + controlWidth)});
    };
    const auto widthOf = [](ControlRef control) {
        const Rect bounds = GetControlBounds(control);
        return bounds.right - bounds.left;
    };
    const int okWidth = ok ? widthOf(ok) : 0;
    if (ok) moveTo(ok, width - okWidth - 20, height - 40, okWidth);
    if (cancel) {
        const int cancelWidth = widthOf(cancel);
        moveTo(cancel, width - okWidth - 20 - cancelWidth - 12, height - 40, cancelWidth);
    }
    if (panel) moveTo(panel, 20, height - 101, width - 40);
}

// Keeps the step the arrows now hold in the preferences; returns the number of the text that
// shows it, 0 for other arrows.
static int32_t StoreStep(ControlRef arrows) {
    ControlID id;
    if (GetControlID(arrows, &id) != 0) return 0;
    const int32_t pinned = GetControl32BitValue(arrows);
    if (id.id == kThumbnailStep1Arrows) {
        gPref.thumbnailArrowSecs1 = pinned;
        return kThumbnailStep1Text;
    }
    if (id.id == kThumbnailStep2Arrows) {
        gPref.thumbnailArrowSecs2 = pinned;
        return kThumbnailStep2Text;
    }
    return 0;
}

void LittleArrowActionProc(ControlRef control, int16_t part) {
    int32_t value = GetControl32BitValue(control);
    if (part == kControlUpButtonPart)
        ++value;
    else if (part == kControlDownButtonPart)
        --value;
    else
        return;
    SetControl32BitValue(control, value);
    if (const int32_t textID = StoreStep(control))
        ShowStep(GetControlOwner(control), textID, GetControl32BitValue(control));
}

// Makes the thumbnail from the frame shown now. 0, or the status that stopped it.
static OSStatus MakeThumbnail(ThumbnailDialogContext* context) {
    context->made = true;
    QImage picture;
    int16_t status = GetMoviePict(context->movie, &picture);
    if (status != 0) {
        context->made = false;
        status = 0;  // no picture: the message carries no code of its own
    } else {
        status = CreateThumbnailFile(picture, context->itemID);
        if (status != 0) context->made = false;
    }
    if (!context->made) DoMessage(kAlertStop, QStringLiteral("MakeThumbnailErr"), status);
    // The steps are kept whatever became of the thumbnail.
    SaveThumbnailSteps();
    return status;
}

OSStatus DialogHandlerThumbnail(const EventRecord& event, void* userData) {
    auto* context = static_cast<ThumbnailDialogContext*>(userData);
    switch (event.kind) {
        case EventKind::WindowBoundsChanging: {
            const Rect bounds = GetWindowContentBounds(context->window);
            LayoutThumbnailDialog(context->window, int16_t(bounds.right - bounds.left),
                                  int16_t(bounds.bottom - bounds.top));
            return kEventNotHandledErr;
        }
        case EventKind::ControlHit:
            break;
        default:
            return kEventNotHandledErr;
    }

    const OSType command = GetControlCommandID(event.control);
    const TimeValue scale = GetMovieTimeScale(context->movie);
    const TimeValue now = GetMovieTime(context->movie);
    switch (command) {
        case kCommandStep1Back:
            SetMovieTimeValue(context->movie, now - context->prefs->thumbnailArrowSecs1 * scale);
            return 0;
        case kCommandStep1Forward:
            SetMovieTimeValue(context->movie, now + context->prefs->thumbnailArrowSecs1 * scale);
            return 0;
        case kCommandStep2Back:
            SetMovieTimeValue(context->movie, now - context->prefs->thumbnailArrowSecs2 * scale);
            return 0;
        case kCommandStep2Forward:
            SetMovieTimeValue(context->movie, now + context->prefs->thumbnailArrowSecs2 * scale);
            return 0;
        case kHICommandCancel:
            context->made = false;
            (void)QuitAppModalLoopForWindow(context->window);
            return 0;
        case kHICommandOK: {
            const OSStatus status = MakeThumbnail(context);
            (void)QuitAppModalLoopForWindow(context->window);
            return status;
        }
        default:
            return 0;
    }
}

// The movie's file cannot be opened as a movie: the message names the step that failed.
static void ShowOpenMovieError(int16_t status) {
    if (status == kQtCodecErr)
        DoMessage(kAlertStop, QStringLiteral("qtCodecErr"), 0);
    else if (status == kInvalidMovie || status == kCodecBadDataErr)
        DoMessage(kAlertStop, QStringLiteral("NewMovieFromFile() error."), status);
    else
        DoMessage(kAlertStop, QStringLiteral("OpenMovieFile() error."), status);
}

// Opens the movie of the first selected item of the parent's list; null after a message.
static Movie OpenSelectedMovie(WindowRef parent, uint32_t* itemID) {
    std::vector<DataBrowserItemID> items;
    const OSStatus status = GetDataBrowserItems(GetDataBrowserControl(parent), kDataBrowserNoItem,
                                                false, kDataBrowserItemIsSelected, &items);
    if (status != 0) {
        DoMessage(kAlertStop, QStringLiteral("GetDataBrowserItems() error."), int16_t(status));
        return nullptr;
    }
    const OpenFileInfo* entry = items.empty() ? nullptr : FindOpenFileInfo(items.front());
    std::string path;
    const int16_t found = entry ? FSRefCurrentPath(&entry->fileRef, &path) : int16_t(kParamErr);
    if (found != 0) {
        DoMessage(kAlertStop, QStringLiteral("FSGetCatalogInfo() error."), found);
        return nullptr;
    }
    Movie movie = nullptr;
    if (const int16_t opened = OpenMovie(path.c_str(), &movie); opened != 0) {
        ShowOpenMovieError(opened);
        return nullptr;
    }
    *itemID = items.front();
    return movie;
}

// Sizes the window for the movie and centres it over the parent. Returns the window's width.
static int16_t PlaceDialog(WindowRef window, WindowRef parent, const MovieBox& box) {
    const int16_t movieWidth = int16_t(box.right - box.left);
    const int16_t width = std::max(movieWidth, int16_t(kMinimumDialogWidth));
    const int16_t height = int16_t(box.bottom - box.top + kDialogExtraHeight);
    const WindowOrigin origin = CentredOver(GetWindowStructureBounds(parent), width, height);
    const int16_t top = int16_t(origin.top);
    const int16_t left = int16_t(origin.left);
    SetWindowContentBounds(window, {top, left, int16_t(top + height), int16_t(left + width)});
    return width;
}

namespace {
struct DisposeMovieDeleter {
    void operator()(MovieRecord* movie) const { DisposeMovie(movie); }
};
struct DisposeWindowDeleter {
    void operator()(QWidget* window) const { DisposeWindow(window); }
};
}  // namespace

bool DoMakeThumbnail(WindowRef parent) {
    // Declared before the window, the movie goes after it: the player shows the movie until the
    // window takes it away.
    std::unique_ptr<MovieRecord, DisposeMovieDeleter> movie;
    WindowRef made = nullptr;
    if (LoadTaggedWindow(QStringLiteral("Thumbnail"), kWindowTagThumbnail, LoadFailure::silent,
                         &made) != 0)
        return false;
    const std::unique_ptr<QWidget, DisposeWindowDeleter> owned(made);
    WindowRef window = made;

    for (auto [arrowsID, textID, seconds] :
         {std::tuple{kThumbnailStep1Arrows, kThumbnailStep1Text, gPref.thumbnailArrowSecs1},
          std::tuple{kThumbnailStep2Arrows, kThumbnailStep2Text, gPref.thumbnailArrowSecs2}}) {
        if (ControlRef arrows = FindControl(window, arrowsID)) {
            SetControl32BitValue(arrows, seconds);
            SetControlAction(arrows, LittleArrowActionProc);
            // A typed step is taken as if the arrows had been clicked to it.
            if (ControlRef text = FindControl(window, textID))
                SetControlNumberEntry(text, GetControl32BitMinimum(arrows),
                                      GetControl32BitMaximum(arrows),
                                      [arrows](ControlRef, int32_t typed) {
                                          SetControl32BitValue(arrows, typed);
                                          (void)StoreStep(arrows);
                                      });
        }
        ShowStep(window, textID, seconds);
    }

    uint32_t itemID = 0;
    movie.reset(OpenSelectedMovie(parent, &itemID));
    if (!movie) return false;

    MovieBox box = GetMovieBox(movie.get());
    const int16_t movieWidth = int16_t(box.right - box.left);
    const int16_t width = PlaceDialog(window, parent, box);
    const int16_t shift = int16_t((width - movieWidth) / 2);
    box.left = int16_t(box.left + shift);
    box.right = int16_t(box.right + shift);
    // The controller bar takes the bottom of the movie's box, so that the stepping panel below
    // stays where the layout puts it; the frame is shown whole above the bar.
    const int16_t playerBottom =
        int16_t(std::max<int>(box.top + 1, box.bottom - kMovieControllerHeight));
    const Rect playerBox = {box.top, box.left, playerBottom, box.right};
    ControlRef player = nullptr;
    if (const OSStatus status = CreateMovieControl(window, playerBox, movie.get(), &player);
        status != 0) {
        DoMessage(kAlertStop, QStringLiteral("CreateMovieControl() error."), int16_t(status));
        return false;
    }
    const Rect content = GetWindowContentBounds(window);
    LayoutThumbnailDialog(window, int16_t(content.right - content.left),
                          int16_t(content.bottom - content.top));

    ThumbnailDialogContext context = {window, &gPref, movie.get(), itemID, false};
    InstallWindowEventHandler(window, DialogHandlerThumbnail, &context);
    (void)RunAppModalLoopForWindow(window);

    StopMovieControl(player);
    InstallWindowEventHandler(window, nullptr, nullptr);
    return context.made;
}
