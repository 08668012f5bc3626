// SPDX-License-Identifier: GPL-3.0-or-later
// mainwindow.cpp - the main window: made from the interface file, laid out for any size, and
// its events kept in step with the preferences.
#include "app/mainwindow.h"

#include <cstdio>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QTreeView>

#include "app/startup.h"
#include "convert/convert.h"
#include "movielist/listview.h"
#include "movielist/opening.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "shared/windows.h"
#include "toolkit/listcontrol.h"
#include "toolkit/localized.h"
#include "transfer/device.h"
#include "transfer/transferglobals.h"

// What the window's handler works on.
struct PrefDialogContext {
    WindowRef window;
    Preferences* prefs;
};
static PrefDialogContext gPrefContext{nullptr, nullptr};

static int16_t Width(const Rect& r) {
    return int16_t(r.right - r.left);
}
static int16_t Height(const Rect& r) {
    return int16_t(r.bottom - r.top);
}

// The list view's seven callbacks; false, after telling the user, when they cannot be installed.
static bool InstallListCallbacks(ControlRef list) {
    DataBrowserCallbacks callbacks;
    OSStatus err = InitDataBrowserCallbacks(&callbacks);
    if (err != 0) {
        DoMessage(kAlertStop, "InitDataBrowserCallbacks() error.", int16_t(err));
        return false;
    }
    callbacks.itemDataCallback = BrowserItemDataProc;
    callbacks.itemCompareCallback = BrowserItemCompareProc;
    callbacks.itemNotificationCallback = BrowserItemNotificationProc;
    callbacks.acceptDragCallback = DataBrowserAcceptDragProc;
    callbacks.receiveDragCallback = DataBrowserItemReceiveDragProc;
    callbacks.getContextualMenuCallback = DataBrowserGetContextualMenuProc;
    callbacks.selectContextualMenuCallback = DataBrowserSelectContextualMenuProc;
    err = SetDataBrowserCallbacks(list, &callbacks);
    if (err != 0) {
        DoMessage(kAlertStop, "SetDataBrowserCallbacks() error.", int16_t(err));
        return false;
    }
    return true;
}

// The hint an empty list shows in itself: painted over the viewport after the view has drawn it,
// and given to screen readers as the list's description while the list is empty.
class EmptyListHint final : public QObject {
public:
    explicit EmptyListHint(QTreeView* view)
        : QObject(view), view_(view), description_(view->accessibleDescription()) {
        view->viewport()->installEventFilter(this);
        QAbstractItemModel* model = view->model();
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, this, &EmptyListHint::Update);
        connect(model, &QAbstractItemModel::modelReset, this, &EmptyListHint::Update);
        connect(model, &QAbstractItemModel::layoutChanged, this, &EmptyListHint::Update);
        Update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || painting_ || !Empty()) return false;
        // The view paints first (its background, a drop indicator), the hint over it.
        painting_ = true;
        QCoreApplication::sendEvent(watched, event);
        painting_ = false;
        QWidget* viewport = view_->viewport();
        QPainter painter(viewport);
        painter.setPen(view_->palette().color(QPalette::PlaceholderText));
        const QRect room = viewport->rect().adjusted(24, 0, -24, 0);
        painter.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, Hint());
        return true;
    }

private:
    bool Empty() const { return view_->model()->rowCount() == 0; }
    static QString Hint() { return LocalizedString(QStringLiteral("emptyListHint")); }
    void Update() {
        const bool empty = Empty();
        if (empty == shownEmpty_) return;
        shownEmpty_ = empty;
        view_->setAccessibleDescription(empty ? Hint() : description_);
        view_->viewport()->update();
    }

    QTreeView* view_;
    QString description_;
    int shownEmpty_ = -1;
    bool painting_ = false;
};

bool DoPref() {
    // The movie list in this window asks the application through these to update its commands.
    InstallApplicationInterface({.updateMenus = DoMenuControl});
    WindowRef window = nullptr;
    if (LoadTaggedWindow(QStringLiteral("Pref"), kMainWindowTag, LoadFailure::told, &window) != 0)
        return false;
    SetWindowContentBounds(window, gPref.windowBounds);
    // The version query reports a system with every feature, so the limits always apply.
    SetWindowResizeLimits(window, kMainWindowMinWidth, kMainWindowMinHeight);

    (void)CreatePSPMenu(window, true);

    ControlRef list = FindControl(window, kPrefMovieList);
    if (!InstallListCallbacks(list)) {
        DisposeWindow(window);
        return false;
    }

    const int16_t width = Width(gPref.windowBounds);
    const int16_t height = Height(gPref.windowBounds);
    SetListDefaultColumnWidth(
        list, int16_t(GetControlBounds(list).right - GetControlBounds(list).left - 15));
    (void)SetListColumnWidth(list, kFileColumn, int16_t(gPref.filenameColumWidth));
    (void)SetListColumnWidth(list, kTitleColumn, int16_t(gPref.titleColumWidth));
    (void)SetListColumnWidth(list, kKindColumn, int16_t(gPref.pspColumWidth));
    const OSStatus sorted = SetDataBrowserSortOrder(list, kDataBrowserOrderIncreasing);
    if (QTreeView* view = ListControlView(list)) new EmptyListHint(view);

    if (ControlRef send = FindControl(window, kPrefSendButton)) DeactivateControl(send);
    if (ControlRef box = FindControl(window, kPrefOptionThumbnail))
        SetControl32BitValue(box, gPref.optionThumbnail);
    if (ControlRef box = FindControl(window, kPrefOptionUnmount))
        SetControl32BitValue(box, gPref.optionUnmount);
    if (ControlRef box = FindControl(window, kPrefFirmware330))
        SetControl32BitValue(box, gPref.firmware330);
    if (ControlRef quality = FindControl(window, kPrefConvertQuality))
        SetControl32BitValue(quality, gPref.videoKbps == kHighVideoKbps ? 2 : 1);
    if (ControlRef note = FindControl(window, kPrefThumbnailNote)) {
        DeactivateControl(note);
        // The note explains the button and reads as plain text even while the button is off.
        QPalette palette = note->palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text})
            palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
        note->setPalette(palette);
    }
    if (ControlRef make = FindControl(window, kPrefMakeThumbnail)) DeactivateControl(make);
    if (ControlRef well = FindControl(window, kPrefThumbnailWell))
        SetImageWellEmptyText(well, false);

    gPrefContext = PrefDialogContext{window, &gPref};
    LayoutPrefDialog(window, width, height);
    InstallWindowEventHandler(window, DialogHandlerPref, &gPrefContext);
    ShowWindow(window);
    // Without its order the list cannot work: the window goes again, without a message.
    if (sorted != 0) {
        DisposeWindow(window);
        return false;
    }
    return true;
}

// Events

static void HandleBoundsChange(const EventRecord& event, PrefDialogContext* context) {
    Rect bounds = GetWindowContentBounds(event.window);
    bool corrected = false;
    if (Width(bounds) < kMainWindowMinWidth) {
        bounds.right = int16_t(bounds.left + kMainWindowMinWidth);
        corrected = true;
    }
    if (Height(bounds) <= kMainWindowMinHeight - 1) {
        bounds.bottom = int16_t(bounds.top + kMainWindowMinHeight);
        corrected = true;
    }
    // While the user still drags, the window is left as it is; the end of the resize corrects it.
    if (corrected && event.kind == EventKind::WindowBoundsChanged)
        SetWindowContentBounds(event.window, bounds);
    LayoutPrefDialog(event.window, Width(bounds), Height(bounds));
    context->prefs->windowBounds = bounds;
}

static void ChooseDevice(ControlRef popup, Preferences* prefs) {
    prefs->pspMenuSelect = GetControl32BitValue(popup);
    const int32_t slot = prefs->pspMenuSelect - 1;
    if (!gVolumeList || slot < 0 || size_t(slot) >= gVolumeList->size()) return;
    std::snprintf(prefs->devicePath, sizeof prefs->devicePath, "%s", (*gVolumeList)[slot].c_str());
}

static void RememberColumnWidths(ControlRef list, Preferences* prefs) {
    int16_t width = 0;
    if (GetListColumnWidth(list, kFileColumn, &width) == 0) prefs->filenameColumWidth = width;
    if (GetListColumnWidth(list, kTitleColumn, &width) == 0) prefs->titleColumWidth = width;
    if (GetListColumnWidth(list, kKindColumn, &width) == 0) prefs->pspColumWidth = width;
    Draw1Control(list);
}

static void HandleControlHit(const EventRecord& event, PrefDialogContext* context) {
    // The main window's controls carry their control number as their command.
    switch (GetControlCommandID(event.control)) {
        case kPrefDevicePopup:
            ChooseDevice(event.control, context->prefs);
            break;
        case kPrefMovieList:
            RememberColumnWidths(event.control, context->prefs);
            break;
        // The check boxes toggle themselves; the record takes their state rather than inverting
        // itself, so that it cannot drift from what the box shows.
        case kPrefOptionThumbnail:
            context->prefs->optionThumbnail = GetControl32BitValue(event.control) != 0;
            break;
        case kPrefOptionUnmount:
            context->prefs->optionUnmount = GetControl32BitValue(event.control) != 0;
            break;
        // Which movies go converted depends on the firmware: the list's PSP column says anew.
        case kPrefFirmware330:
            context->prefs->firmware330 = GetControl32BitValue(event.control) != 0;
            if (ControlRef list = GetDataBrowserControl(context->window))
                (void)UpdateDataBrowserItems(list, kDataBrowserNoItem, 0, nullptr,
                                             kDataBrowserItemNoProperty,
                                             kDataBrowserItemNoProperty);
            break;
        case kPrefConvertQuality:
            context->prefs->videoKbps =
                GetControl32BitValue(event.control) == 2 ? kHighVideoKbps : kStandardVideoKbps;
            break;
        default:
            break;
    }
}

OSStatus DialogHandlerPref(const EventRecord& event, void* userData) {
    auto* context = static_cast<PrefDialogContext*>(userData);
    switch (event.kind) {
        case EventKind::WindowClose:
            // Closing during a send only stops the send; the window stays.
            return QuitUnlessSending();
        case EventKind::WindowBoundsChanging:
        case EventKind::WindowBoundsChanged:
            HandleBoundsChange(event, context);
            break;
        case EventKind::ControlHit:
            HandleControlHit(event, context);
            break;
        default:
            break;
    }
    return kEventNotHandledErr;
}

// Layout

static void MoveControl(ControlRef control, int left, int top) {
    const Rect r = GetControlBounds(control);
    SetControlBounds(control, Rect{int16_t(top), int16_t(left), int16_t(top + Height(r)),
                                   int16_t(left + Width(r))});
}

void LayoutPrefDialog(WindowRef window, int16_t width, int16_t height) {
    if (ControlRef send = FindControl(window, kPrefSendButton))
        MoveControl(send, width - 20 - Width(GetControlBounds(send)), height - 40);
    if (ControlRef popup = FindControl(window, kPrefDevicePopup))
        MoveControl(popup, 20, height - 40);

    ControlRef band = FindControl(window, kPrefBottomBand);
    if (band) {
        const Rect r = GetControlBounds(band);
        SetControlBounds(band, Rect{int16_t(height - 60 - Height(r)), r.left, int16_t(height - 60),
                                    int16_t(width - 20)});
    }
    for (int32_t id : {kPrefColumnHeading, kPrefThumbnailNote, kPrefThumbnailWell}) {
        if (ControlRef control = FindControl(window, id)) {
            const Rect r = GetControlBounds(control);
            MoveControl(control, width - 20 - Width(r), r.top);
        }
    }

    ControlRef well = FindControl(window, kPrefThumbnailWell);
    if (!well) return;
    const Rect wellBounds = GetControlBounds(well);
    if (ControlRef make = FindControl(window, kPrefMakeThumbnail)) {
        const Rect r = GetControlBounds(make);
        MoveControl(make, wellBounds.left + Width(wellBounds) / 2 - Width(r) / 2, r.top);
    }
    ControlRef list = FindControl(window, kPrefMovieList);
    if (!list || !band) return;
    const Rect r = GetControlBounds(list);
    const Rect listBounds{r.top, r.left, int16_t(GetControlBounds(band).top - 6),
                          int16_t(wellBounds.left - 16)};
    SetControlBounds(list, listBounds);
    SetListDefaultColumnWidth(list, int16_t(Width(listBounds) - 15));
}
