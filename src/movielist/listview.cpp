// SPDX-License-Identifier: GPL-3.0-or-later
// listview.cpp - the movie list in the main window: cells, order, notifications, the contextual
// menu, the selection display and removal.
#include "movielist/listview.h"

#include <optional>
#include <unordered_map>

#include <QCollator>
#include <QCollatorSortKey>
#include <QImage>
#include <QTimer>

#include "movielist/movielist.h"
#include "shared/application.h"
#include "shared/ids.h"
#include "shared/messages.h"
#include "shared/prefs.h"
#include "thumbnail/thumbnaildialog.h"
#include "thumbnail/thumbnailfile.h"
#include "toolkit/alerts.h"
#include "toolkit/launch.h"
#include "toolkit/localized.h"

bool gEditTitleNow = false;

// Editing titles came with system 10.1; the character palette with 10.3.
static constexpr int32_t kFirstSystemWithEditing = 0x1010;
static constexpr int32_t kFirstSystemWithCharacterPalette = 0x1030;

// The content the preview well was last given: a picture, or none.
static constexpr int16_t kControlContentPictHandle = 131;
struct ImageWellContent {
    int16_t contentType = kControlContentPictHandle;
    std::optional<QImage> picture;
};
static ImageWellContent imageInfo;

// Cells

MovieFailure TitleFailure(DataBrowserItemID item, MovieError why) {
    const OpenFileInfo* entry = FindOpenFileInfo(item);
    return MovieFailure{entry ? QStringFromHFSUniStr255(entry->fileName) : QString(),
                        MovieErrorString(why)};
}

OSStatus BrowserItemDataProc(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                             DataBrowserItemDataRef itemData, bool setValue) {
    if (property == kDataBrowserItemIsEditableProperty) {
        if (gSysVersion >= kFirstSystemWithEditing)
            (void)SetDataBrowserItemDataBooleanValue(itemData, true);
        else
            Beep();
        return 0;
    }
    if (property == kListFileColumn && !setValue) {
        const OpenFileInfo* entry = FindOpenFileInfo(item);
        if (!entry) return 0;
        (void)SetDataBrowserItemDataText(itemData, QStringFromHFSUniStr255(entry->fileName));
        IconRef icon;
        if (GetIconRefFromFile(&entry->fileRef, &icon) == 0)
            (void)SetDataBrowserItemDataIcon(itemData, icon);
    } else if (property == kListTitleColumn && !setValue) {
        const OpenFileInfo* entry = FindOpenFileInfo(item);
        if (!entry) return 0;
        (void)SetDataBrowserItemDataText(itemData, entry->title.value_or(QString()));
    } else if (property == kListKindColumn && !setValue) {
        const OpenFileInfo* entry = FindOpenFileInfo(item);
        if (!entry) return 0;
        (void)SetDataBrowserItemDataText(itemData, MovieKindString(*entry));
        if (!IsSendableMovie(*entry)) (void)SetDataBrowserItemDataGreyed(itemData, true);
    } else if (property == kListTitleColumn) {
        QString text;
        MovieError why = MovieError::none;
        if (GetDataBrowserItemDataText(itemData, &text) == 0 &&
            ChangeTitle(item, kChangeTitleFromText, &text, &why) == kTitleNotStoredErr) {
            // Told once the edit has ended: an alert shown while the editor still commits takes
            // its focus, which commits the same text again.
            const MovieFailure failure = TitleFailure(item, why);
            QTimer::singleShot(0, [failure] { DoTitleFailureMessage({failure}); });
        }
    }
    return 0;
}

// Order

QCollatorSortKey NameSortKey(const QString& text) {
    static const QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    // Folded first: the collator ignores case in its keys only for real languages, not in the
    // C locale, where it compares code points.
    return collator.sortKey(text.toCaseFolded());
}

// One sort compares each item with many others: its name is read from the file system and its
// collation key made once per sort, and entries are found through a table made once, rather
// than by a search of the list for every comparison.
struct SortKeys {
    ControlRef browser = nullptr;
    uint32_t pass = 0;
    DataBrowserPropertyID property = 0;
    std::unordered_map<DataBrowserItemID, int> indexOf;
    std::unordered_map<DataBrowserItemID, std::optional<QCollatorSortKey>> keys;
};
static SortKeys gSortKeys;

static void StartSortPass(ControlRef browser, DataBrowserPropertyID property) {
    const uint32_t pass = GetDataBrowserSortPass(browser);
    if (gSortKeys.browser == browser && gSortKeys.pass == pass && gSortKeys.property == property)
        return;
    gSortKeys = SortKeys{browser, pass, property, {}, {}};
    const int count = CountOpenFileInfo();
    gSortKeys.indexOf.reserve(size_t(count));
    for (int i = 0; i < count; ++i) gSortKeys.indexOf[(*gOpenFile)[size_t(i)].itemID] = i;
}

// None for a movie without a title, or one that is not in the movie list.
static const std::optional<QCollatorSortKey>& SortKeyOf(DataBrowserItemID item) {
    const auto known = gSortKeys.keys.find(item);
    if (known != gSortKeys.keys.end()) return known->second;
    std::optional<QCollatorSortKey> key;
    const auto index = gSortKeys.indexOf.find(item);
    if (index != gSortKeys.indexOf.end()) {
        const OpenFileInfo& entry = (*gOpenFile)[size_t(index->second)];
        if (gSortKeys.property == kListFileColumn) {
            // A file that cannot be found any more sorts by the name it had.
            QString name;
            if (CFStringNameFromFSRef(&name, &entry.fileRef, true) != kNoErr)
                name = QStringFromHFSUniStr255(entry.fileName);
            key = NameSortKey(name);
        } else if (gSortKeys.property == kListKindColumn) {
            key = NameSortKey(MovieKindString(entry));
        } else if (entry.title) {
            key = NameSortKey(*entry.title);
        }
    }
    return gSortKeys.keys.emplace(item, std::move(key)).first->second;
}

bool BrowserItemCompareProc(ControlRef browser, DataBrowserItemID itemOne,
                            DataBrowserItemID itemTwo, DataBrowserPropertyID sortProperty) {
    if (sortProperty != kListFileColumn && sortProperty != kListTitleColumn &&
        sortProperty != kListKindColumn)
        return false;
    StartSortPass(browser, sortProperty);
    const std::optional<QCollatorSortKey>& one = SortKeyOf(itemOne);
    const std::optional<QCollatorSortKey>& two = SortKeyOf(itemTwo);
    if (!one || !two) return !one && two;
    return one->compare(*two) < 0;
}

// Notifications

static void OpenSelectedMovies(ControlRef browser) {
    std::vector<DataBrowserItemID> items;
    if (GetDataBrowserItems(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected,
                            &items) != 0)
        return;
    for (DataBrowserItemID item : items) {
        const OpenFileInfo* entry = FindOpenFileInfo(item);
        if (!entry || LSOpenFSRef(&entry->fileRef) != 0) return;
    }
}

static void DoDoubleClickAction(ControlRef browser, DataBrowserItemID item) {
    switch (gPref.doubleClickAction) {
        case kDoubleClickEditsTitle:
            (void)OpenDataBrowserEditSession(browser, item, kListTitleColumn);
            break;
        case kDoubleClickOpensMovies:
            OpenSelectedMovies(browser);
            break;
        case kDoubleClickMakesThumbnail:
            if (gQuickTimeVersion <= kLastQuickTimeWithoutThumbnails) {
                DoMessage(kAlertNote, QStringLiteral("qtErr"), 0);
                break;
            }
            // When a thumbnail was made, the next tick shows it.
            if (DoMakeThumbnail(GetControlOwner(browser))) gUpdateControl = browser;
            break;
        case kDoubleClickShowsItemIDs: {
            std::vector<DataBrowserItemID> items;
            if (GetDataBrowserItems(browser, kDataBrowserNoItem, false, kDataBrowserItemAnyState,
                                    &items) != 0)
                break;
            for (DataBrowserItemID item : items) DebugNum(int32_t(item));
            break;
        }
        default:
            break;
    }
}

void BrowserItemNotificationProc(ControlRef browser, DataBrowserItemID item,
                                 DataBrowserItemNotification message) {
    switch (message) {
        case kDataBrowserItemAdded:
        case kDataBrowserItemRemoved:
            UpdateMenus();
            break;
        case kDataBrowserEditStarted:
            gEditTitleNow = true;
            if (gSysVersion >= kFirstSystemWithCharacterPalette)
                EnableMenuCommand(kHICommandCharacterPalette);
            break;
        case kDataBrowserEditStopped:
            gEditTitleNow = false;
            SetArrowCursor();
            if (gSysVersion >= kFirstSystemWithCharacterPalette)
                DisableMenuCommand(kHICommandCharacterPalette);
            break;
        case kDataBrowserItemDoubleClicked:
            DoDoubleClickAction(browser, item);
            break;
        case kDataBrowserSelectionSetChanged:
            Draw1Control(browser);
            gUpdateControl = browser;
            break;
        default:
            break;
    }
}

// Contextual menu

void DataBrowserGetContextualMenuProc(ControlRef browser, QMenu** menu, uint32_t*, QString*,
                                      std::vector<DataBrowserItemID>*) {
    HandleDataBrowserSelect(browser);
    *menu = GetMenuHandle(kListContextualMenuID);
}

void DataBrowserSelectContextualMenuProc(ControlRef, QMenu*, uint32_t, int16_t, uint16_t) {}

// Selection display

void SetImageWellEmptyText(ControlRef well, bool oneSelected) {
    SetControlText(well, LocalizedString(oneSelected ? QStringLiteral("wellNoThumbnail")
                                                     : QStringLiteral("wellSelectOne")));
}

void HandleDataBrowserSelect(ControlRef browser) {
    uint32_t count = 0;
    OSStatus status = GetDataBrowserItemCount(browser, kDataBrowserNoItem, false,
                                              kDataBrowserItemIsSelected, &count);
    if (status != 0) {
        DoMessage(kAlertStop, QStringLiteral("GetDataBrowserItemCount() error."), int16_t(status));
        return;
    }
    std::vector<DataBrowserItemID> items;
    status =
        GetDataBrowserItems(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected, &items);
    if (status != 0) {
        DoMessage(kAlertStop, QStringLiteral("GetDataBrowserItems() error."), int16_t(status));
        return;
    }

    WindowRef window = GetControlOwner(browser);
    const bool one = count == 1;
    for (int32_t id : {kPrefMakeThumbnail, kPrefThumbnailNote}) {
        if (ControlRef control = FindControl(window, id)) {
            if (one)
                ActivateControl(control);
            else
                DeactivateControl(control);
        }
    }
    // The preview of the one selected movie comes from its thumbnail file (none when it has
    // none), read afresh so that a thumbnail just made shows.
    imageInfo.picture.reset();
    const OpenFileInfo* entry = one && !items.empty() ? FindOpenFileInfo(items.front()) : nullptr;
    if (one) {
        imageInfo.contentType = kControlContentPictHandle;
        if (const QImage* preview = entry ? OpenThumbnailFile(entry->itemID) : nullptr)
            imageInfo.picture = *preview;
    }

    if (ControlRef well = FindControl(window, kPrefThumbnailWell)) {
        SetImageWellPicture(well, imageInfo.picture ? &*imageInfo.picture : nullptr);
        if (!imageInfo.picture) SetImageWellEmptyText(well, one);
        // A screen reader says whose thumbnail this is, or why there is none.
        const QString name = entry ? QStringFromHFSUniStr255(entry->fileName) : QString();
        if (!entry)
            SetControlAccessibleName(well, LocalizedString("Thumbnail preview: no movie selected"));
        else if (imageInfo.picture)
            SetControlAccessibleName(well, LocalizedString("Thumbnail of %1").arg(name));
        else
            SetControlAccessibleName(well, LocalizedString("%1 has no thumbnail").arg(name));
        Draw1Control(well);
    }
    UpdateMenus();
}

// Editing

OSStatus EditSelectedTitle() {
    ControlRef browser = GetDataBrowserControl(nullptr);
    std::vector<DataBrowserItemID> items;
    if (GetDataBrowserItems(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected,
                            &items) != 0 ||
        items.size() != 1)
        return 0;
    (void)OpenDataBrowserEditSession(browser, items.front(), kListTitleColumn);
    return 0;
}

// Removal

OSStatus RemoveListItem(ControlRef browser, DataBrowserItemID item) {
    const OSStatus status =
        RemoveDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, kDataBrowserItemNoProperty);
    if (status != 0) {
        DoMessage(kAlertStop, QStringLiteral("RemoveDataBrowserItems() error."), int16_t(status));
        return status;
    }
    return RemoveOpenFileInfo(item);
}

OSStatus RemoveSelectedListItem() {
    ControlRef browser = GetDataBrowserControl(nullptr);
    std::vector<DataBrowserItemID> items;
    const OSStatus status =
        GetDataBrowserItems(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected, &items);
    if (status != 0) return status;
    if (items.empty()) return 0;
    if (ConfirmAlert(kQuestionDelete) == kAlertCancelButton) return 0;
    // The rows go in one change of the view and the entries in one pass over the list.
    const OSStatus removedRows =
        RemoveDataBrowserItems(browser, kDataBrowserNoItem, uint32_t(items.size()), items.data(),
                               kDataBrowserItemNoProperty);
    if (removedRows != 0) {
        // The rows removed before the failure take their entries with them.
        std::vector<DataBrowserItemID> gone;
        for (DataBrowserItemID item : items)
            if (GetDataBrowserTableViewItemRow(browser, item, nullptr) != 0) gone.push_back(item);
        (void)RemoveOpenFileInfos(gone.data(), int(gone.size()));
        DoMessage(kAlertStop, QStringLiteral("RemoveDataBrowserItems() error."),
                  int16_t(removedRows));
        return removedRows;
    }
    const int removed = RemoveOpenFileInfos(items.data(), int(items.size()));
    return removed == int(items.size()) ? 0 : kParamErr;
}
