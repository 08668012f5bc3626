// SPDX-License-Identifier: GPL-3.0-or-later
// opening.cpp - the Open dialog, the open-documents event and drops on the list, and the batch
// that all three run.
#include "movielist/opening.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>
#include <vector>

#include <QFile>

#include "movielist/listview.h"
#include "movielist/movielist.h"
#include "shared/messages.h"
#include "toolkit/alerts.h"
#include "toolkit/instance.h"

// An object whose name cannot be read sorts as an empty name; adding it skips it anyway.
static QString CurrentName(const FSRef* ref) {
    QString name;
    if (CFStringNameFromFSRef(&name, ref, true) != kNoErr) return QString();
    return name;
}

int FSRefCompareProc(const FSRef* one, const FSRef* two) {
    const int order = NameSortKey(CurrentName(one)).compare(NameSortKey(CurrentName(two)));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int16_t HFSNameFromFSSpec(HFSUniStr255* name, const FSRef* item) {
    return FSGetCatalogInfo(item, kFSCatInfoNone, nullptr, name);
}

// The batch

// In FSRefCompareProc's order, with each name read and its collation key made once rather
// than at every comparison: a drop of thousands of files would otherwise read their names
// tens of thousands of times.
static void SortBatch(std::vector<FSRef>* batch) {
    if (batch->size() < 2) return;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(batch->size());
    for (const FSRef& ref : *batch) keys.push_back(NameSortKey(CurrentName(&ref)));
    std::vector<size_t> order(batch->size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(),
              [&keys](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<FSRef> sorted;
    sorted.reserve(batch->size());
    for (size_t i : order) sorted.push_back(std::move((*batch)[i]));
    *batch = std::move(sorted);
}

// Adds every reference and then shows what was added. False when a status other than 0 and
// -48 (item IDs or memory exhausted) ended the batch: what it added stays in the movie list,
// unshown. *lastStatus is the status of the last reference added.
static bool RunBatch(std::vector<FSRef>* batch, int startCount, int16_t* lastStatus) {
    // Documents that a later start hands over while the walk lets events in would otherwise be
    // added in the middle of this batch, under its start count.
    HoldAppleEvents();
    SortBatch(batch);
    gStopOpen = false;
    SetBusyCursor();
    bool ranToEnd = true;
    for (const FSRef& ref : *batch) {
        if (gStopOpen) break;
        const int status = CreateOpenFileInfoFromChoice(&ref, startCount);
        if (lastStatus) *lastStatus = int16_t(status);
        if (status != kNoErr && status != kDupFNErr) {
            ranToEnd = false;
            break;
        }
    }
    if (ranToEnd) (void)DoOpenFile(startCount);
    SetArrowCursor();
    ReleaseAppleEvents();
    return ranToEnd;
}

OSStatus DoOpenFile(int firstIndex) {
    if (!gOpenFileID) return 0;
    ControlRef browser = GetDataBrowserControl(nullptr);
    // The list control refuses a whole batch when one of its IDs is shown already: movies that
    // another opener showed meanwhile are left out here.
    std::vector<DataBrowserItemID> shown;
    (void)GetDataBrowserItems(browser, kDataBrowserNoItem, false, kDataBrowserItemAnyState, &shown);
    const std::unordered_set<DataBrowserItemID> listed(shown.begin(), shown.end());
    std::vector<DataBrowserItemID> items;
    for (size_t i = size_t(std::max(firstIndex, 0)); i < gOpenFileID->size(); ++i)
        if (!listed.count((*gOpenFileID)[i])) items.push_back((*gOpenFileID)[i]);
    const OSStatus status =
        AddDataBrowserItems(browser, kDataBrowserNoItem, uint32_t(items.size()),
                            items.empty() ? nullptr : items.data(), kDataBrowserItemNoProperty);
    if (status != 0)
        DoMessage(kAlertStop, QStringLiteral("AddDataBrowserItems() error."), int16_t(status));
    if (browser) Draw1Control(browser);
    return status;
}

// The Open dialog

bool FilterProc(const FSRef* item, const NavFileOrFolderInfo* info, void*, int16_t) {
    if (!item || !info) return false;
    if (info->isFolder) return true;
    HFSUniStr255 name;
    return HFSNameFromFSSpec(&name, item) == kNoErr && VideoEndingOf(name) != VideoEnding::kNone;
}

static void ChooseAndAdd() {
    const int startCount = CountOpenFileInfo();
    NavDialogOptions options;
    if (NavGetDefaultDialogOptions(&options) != 0) return;
    options.locationH = -1;
    options.locationV = -1;
    options.dialogOptionFlags = kNavNoTypePopup | kNavAllowMultipleFiles;

    NavReplyRecord reply;
    if (NavGetFile(nullptr, &reply, &options, FilterProc, nullptr) != 0 || !reply.validRecord)
        return;
    std::vector<FSRef> batch = reply.selection;
    NavDisposeReply(&reply);
    // An item that could not be fetched spoils the whole choice.
    if (std::any_of(batch.begin(), batch.end(), [](const FSRef& ref) { return !ref.valid; }))
        return;
    (void)RunBatch(&batch, startCount, nullptr);
}

void DoOpenDialog() {
    // The start count is taken before the dialog opens: documents handed over while it is open
    // wait until the choice has been added, rather than being added under that count.
    HoldAppleEvents();
    ChooseAndAdd();
    ReleaseAppleEvents();
}

// Documents opened with the application

int16_t AEOpenDoc(const AppleEvent& event, void*, long) {
    const int startCount = CountOpenFileInfo();
    // A file that cannot be found leaves its slot an invalid reference, which adding skips.
    std::vector<FSRef> batch(size_t(event.files.size()));
    for (qsizetype i = 0; i < event.files.size(); ++i)
        (void)FSPathMakeRef(QFile::encodeName(event.files[i]).constData(), &batch[size_t(i)]);
    int16_t status = 0;
    (void)RunBatch(&batch, startCount, &status);
    return status;
}

// Drops on the list

// The 'hfs ' flavor of the drag's item, or false when the item has none.
static bool FileFlavorOf(DragRef drag, uint16_t index, HFSFlavor* flavor) {
    DragItemRef item = 0;
    FlavorFlags flags = 0;
    return GetDragItemReferenceNumber(drag, index, &item) == 0 &&
           GetFlavorFlags(drag, item, kDragFlavorTypeHFS, &flags) == 0 &&
           GetFlavorData(drag, item, kDragFlavorTypeHFS, flavor) == 0;
}

bool DataBrowserAcceptDragProc(ControlRef browser, DragRef drag, DataBrowserItemID) {
    DragAttributes attributes = 0;
    if (GetDragAttributes(drag, &attributes) != 0 || (attributes & kDragInsideSenderWindow))
        return false;
    uint16_t count = 0;
    if (CountDragItems(drag, &count) != 0) return false;
    for (uint16_t index = 1; index <= count; ++index) {
        HFSFlavor flavor;
        if (!FileFlavorOf(drag, index, &flavor)) return false;
        if (flavor.fileType == kContainerFolderAliasType) continue;
        HFSUniStr255 name;
        if (HFSNameFromFSSpec(&name, &flavor.fileSpec) != kNoErr ||
            VideoEndingOf(name) == VideoEnding::kNone)
            return false;
    }
    (void)SetDataBrowserSortProperty(browser, kDataBrowserItemNoProperty);
    return true;
}

bool DataBrowserItemReceiveDragProc(ControlRef, DragRef drag, DataBrowserItemID) {
    const int startCount = CountOpenFileInfo();
    uint16_t count = 0;
    if (CountDragItems(drag, &count) != 0) return false;
    std::vector<FSRef> batch;
    batch.reserve(count);
    for (uint16_t index = 1; index <= count; ++index) {
        HFSFlavor flavor;
        if (!FileFlavorOf(drag, index, &flavor)) return false;
        batch.push_back(std::move(flavor.fileSpec));
    }
    return RunBatch(&batch, startCount, nullptr);
}
