// SPDX-License-Identifier: GPL-3.0-or-later
// listcontrol.h - the list control: rows by item ID, columns by property, and the callbacks that
// give it its cells, its order and its reactions; file drags onto it; file icons for its cells.
//
// The control is the QTreeView of an interface file that lists its columns in "columns" (see
// ui.h); "editableColumns" lists the property IDs whose cells the user may edit. An edit starts
// only with F2 (on the current row) or OpenDataBrowserEditSession, never with a click. It holds
// only item IDs, and speaks of rows in display order: every cell's text and icon, every
// comparison and every reaction is asked of the callbacks installed with SetDataBrowserCallbacks.
// Items live at the top level (container 0); the list has no containers of its own.
#pragma once

#include <cstdint>
#include <vector>

#include <QIcon>
#include <QString>

#include "toolkit/fileref.h"
#include "toolkit/ui.h"

class QMenu;
class QTreeView;

using DataBrowserItemID = uint32_t;
using DataBrowserPropertyID = OSType;
using DataBrowserItemState = int32_t;
using DataBrowserItemNotification = uint32_t;
using DataBrowserSortOrder = uint16_t;
using DataBrowserSetOption = uint32_t;

inline constexpr DataBrowserItemID kDataBrowserNoItem = 0;  // also the root container

// A sort property of none shows the items in the order they were added.
inline constexpr DataBrowserPropertyID kDataBrowserItemNoProperty = 0;
// Asked of the item-data callback before a cell is edited: may it be?
inline constexpr DataBrowserPropertyID kDataBrowserItemIsEditableProperty = 3;

inline constexpr DataBrowserItemState kDataBrowserItemAnyState = -1;
inline constexpr DataBrowserItemState kDataBrowserItemIsSelected = 1;

inline constexpr DataBrowserSortOrder kDataBrowserOrderIncreasing = 1;
inline constexpr DataBrowserSortOrder kDataBrowserOrderDecreasing = 2;

inline constexpr DataBrowserItemNotification kDataBrowserItemAdded = 1;
inline constexpr DataBrowserItemNotification kDataBrowserItemRemoved = 2;
inline constexpr DataBrowserItemNotification kDataBrowserEditStarted = 3;
inline constexpr DataBrowserItemNotification kDataBrowserEditStopped = 4;
inline constexpr DataBrowserItemNotification kDataBrowserItemDoubleClicked = 7;
inline constexpr DataBrowserItemNotification kDataBrowserSelectionSetChanged = 14;

// How SetDataBrowserSelectedItems combines the items with the selection.
inline constexpr DataBrowserSetOption kDataBrowserItemsAdd = 0;
inline constexpr DataBrowserSetOption kDataBrowserItemsAssign = 1;
inline constexpr DataBrowserSetOption kDataBrowserItemsToggle = 2;
inline constexpr DataBrowserSetOption kDataBrowserItemsRemove = 3;

inline constexpr OSStatus kErrDataBrowserNotConfigured = -4970;  // not a list control
inline constexpr OSStatus kErrDataBrowserItemNotFound = -4971;
inline constexpr OSStatus kErrDataBrowserItemNotAdded = -4975;  // the ID is listed already

// Cells

using IconRef = QIcon;

// One cell as the item-data callback is asked to fill it (or, when setting, finds it).
struct DataBrowserItemDataRec {
    QString text;
    bool hasText = false;
    IconRef icon;
    bool booleanValue = false;
    bool hasBooleanValue = false;
    bool greyed = false;  // the text in the colour of inactive text
};
using DataBrowserItemDataRef = DataBrowserItemDataRec*;

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString& text);
// -50 when the cell holds no text.
[[nodiscard]] OSStatus GetDataBrowserItemDataText(DataBrowserItemDataRef itemData, QString* text);
OSStatus SetDataBrowserItemDataIcon(DataBrowserItemDataRef itemData, const IconRef& icon);
OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, bool value);
// Shows the cell's text greyed, in the colour the list gives inactive text, so that a row that
// cannot be acted on stands out without hiding what it says.
OSStatus SetDataBrowserItemDataGreyed(DataBrowserItemDataRef itemData, bool greyed);

// The icon the desktop shows for files of this kind. Icons are kept by kind (the name's ending),
// so that painting a row costs no file-system call; only the first file of a kind is looked at.
[[nodiscard]] OSStatus GetIconRefFromFile(const FSRef* file, IconRef* icon);

// Drags

// A drag over the list, as the drag callbacks see it: its items are the dragged URLs, and each
// local file or folder that exists offers the 'hfs ' flavor.
struct DragRec;
using DragRef = DragRec*;
using DragItemRef = uint32_t;
using DragAttributes = uint32_t;
using FlavorType = OSType;
using FlavorFlags = uint32_t;

inline constexpr DragAttributes kDragHasLeftSenderWindow = 0x01;
inline constexpr DragAttributes kDragInsideSenderApplication = 0x02;
inline constexpr DragAttributes kDragInsideSenderWindow = 0x04;  // rows dragged within the list

inline constexpr FlavorType kDragFlavorTypeHFS = FourCharCode("hfs ");
inline constexpr OSType kContainerFolderAliasType = FourCharCode("fold");

inline constexpr OSStatus kBadDragRefErr = -1850;
inline constexpr OSStatus kBadDragItemErr = -1851;
inline constexpr OSStatus kBadDragFlavorErr = -1852;

// The 'hfs ' flavor: the file type ('fold' for a folder, else 0; Linux files have no type or
// creator) and the reference.
struct HFSFlavor {
    OSType fileType = 0;
    OSType fileCreator = 0;
    uint16_t fdFlags = 0;
    FSRef fileSpec;
};

[[nodiscard]] OSStatus GetDragAttributes(DragRef drag, DragAttributes* attributes);
[[nodiscard]] OSStatus CountDragItems(DragRef drag, uint16_t* count);
// Items are numbered from 1.
[[nodiscard]] OSStatus GetDragItemReferenceNumber(DragRef drag, uint16_t index, DragItemRef* item);
// kBadDragFlavorErr when the item does not offer the flavor.
[[nodiscard]] OSStatus GetFlavorFlags(DragRef drag, DragItemRef item, FlavorType type,
                                      FlavorFlags* flags);
[[nodiscard]] OSStatus GetFlavorData(DragRef drag, DragItemRef item, FlavorType type,
                                     HFSFlavor* data);

// Callbacks

// Fills (setValue false) or takes (setValue true) one cell of the item's column `property`.
using DataBrowserItemDataProcPtr = OSStatus (*)(ControlRef browser, DataBrowserItemID item,
                                                DataBrowserPropertyID property,
                                                DataBrowserItemDataRef itemData, bool setValue);
// True when itemOne sorts before itemTwo by the property, in increasing order.
using DataBrowserItemCompareProcPtr = bool (*)(ControlRef browser, DataBrowserItemID itemOne,
                                               DataBrowserItemID itemTwo,
                                               DataBrowserPropertyID sortProperty);
using DataBrowserItemNotificationProcPtr = void (*)(ControlRef browser, DataBrowserItemID item,
                                                    DataBrowserItemNotification message);
// Whether a drag entering the list may drop; asked once per entry.
using DataBrowserAcceptDragProcPtr = bool (*)(ControlRef browser, DragRef drag,
                                              DataBrowserItemID item);
// The drop of an accepted drag; true when it was taken, which is what the drag's source is told.
using DataBrowserReceiveDragProcPtr = bool (*)(ControlRef browser, DragRef drag,
                                               DataBrowserItemID item);
// The menu to show for a contextual click (null for none). The help outputs are unused here.
using DataBrowserGetContextualMenuProcPtr = void (*)(ControlRef browser, QMenu** menu,
                                                     uint32_t* helpType, QString* helpItemString,
                                                     std::vector<DataBrowserItemID>* selection);
// Told which item of that menu was chosen (menuItem from 1), after the item's own action.
using DataBrowserSelectContextualMenuProcPtr = void (*)(ControlRef browser, QMenu* menu,
                                                        uint32_t selectionType, int16_t menuID,
                                                        uint16_t menuItem);

inline constexpr uint32_t kDataBrowserLatestCallbacks = 0;

struct DataBrowserCallbacks {
    uint32_t version = kDataBrowserLatestCallbacks;
    DataBrowserItemDataProcPtr itemDataCallback = nullptr;
    DataBrowserItemCompareProcPtr itemCompareCallback = nullptr;
    DataBrowserItemNotificationProcPtr itemNotificationCallback = nullptr;
    DataBrowserAcceptDragProcPtr acceptDragCallback = nullptr;
    DataBrowserReceiveDragProcPtr receiveDragCallback = nullptr;
    DataBrowserGetContextualMenuProcPtr getContextualMenuCallback = nullptr;
    DataBrowserSelectContextualMenuProcPtr selectContextualMenuCallback = nullptr;
};

// Clears every callback of a record of the latest version; -50 for another version.
[[nodiscard]] OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks);
[[nodiscard]] OSStatus SetDataBrowserCallbacks(ControlRef browser,
                                               const DataBrowserCallbacks* callbacks);

// Items

// Items go at the end (or into their sorted places) and are reported one by one as added. The
// container must be the root (0); the pre-sort property is not used. None is added when one of
// the IDs is 0 or listed already (kErrDataBrowserItemNotAdded).
[[nodiscard]] OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container,
                                           uint32_t numItems, const DataBrowserItemID* items,
                                           DataBrowserPropertyID preSortProperty);
// No items (0, null) removes every item. Each is reported as removed once it has left the rows;
// an ID that is not listed ends the removal with kErrDataBrowserItemNotFound.
[[nodiscard]] OSStatus RemoveDataBrowserItems(ControlRef browser, DataBrowserItemID container,
                                              uint32_t numItems, const DataBrowserItemID* items,
                                              DataBrowserPropertyID preSortProperty);
// Asks the rows of the items again (no items: every row) for the column `property`, or for
// every column with kDataBrowserItemNoProperty.
[[nodiscard]] OSStatus UpdateDataBrowserItems(ControlRef browser, DataBrowserItemID container,
                                              uint32_t numItems, const DataBrowserItemID* items,
                                              DataBrowserPropertyID preSortProperty,
                                              DataBrowserPropertyID property);
// Appends the IDs of the items in that state, in display order.
[[nodiscard]] OSStatus GetDataBrowserItems(ControlRef browser, DataBrowserItemID container,
                                           bool recurse, DataBrowserItemState state,
                                           std::vector<DataBrowserItemID>* items);
[[nodiscard]] OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container,
                                               bool recurse, DataBrowserItemState state,
                                               uint32_t* count);
[[nodiscard]] OSStatus SetDataBrowserSelectedItems(ControlRef browser, uint32_t numItems,
                                                   const DataBrowserItemID* items,
                                                   DataBrowserSetOption operation);
bool IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item);
// The item's place in display order, from 0, and the item at a place.
[[nodiscard]] OSStatus GetDataBrowserTableViewItemRow(ControlRef browser, DataBrowserItemID item,
                                                      uint32_t* row);
[[nodiscard]] OSStatus GetDataBrowserTableViewItemID(ControlRef browser, uint32_t row,
                                                     DataBrowserItemID* item);

// Opens the editor of the item's cell in the column `property`, once the item-data callback has
// agreed that it may be edited. kErrDataBrowserItemNotFound for an item that is not listed,
// -50 for a column the user may not edit, -4970 for any other control.
[[nodiscard]] OSStatus OpenDataBrowserEditSession(ControlRef browser, DataBrowserItemID item,
                                                  DataBrowserPropertyID property);

// Order

// The column the list is sorted by (the user also picks it in the headers); none restores the
// order of adding. Either change sorts the rows again at once, keeping the selection.
[[nodiscard]] OSStatus SetDataBrowserSortProperty(ControlRef browser,
                                                  DataBrowserPropertyID property);
[[nodiscard]] OSStatus GetDataBrowserSortProperty(ControlRef browser,
                                                  DataBrowserPropertyID* property);
[[nodiscard]] OSStatus SetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder order);
[[nodiscard]] OSStatus GetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder* order);
// Each sort of the rows has a new number. A compare callback may keep what it read about the
// items (their names, their sort keys) for as long as the number stays the same: one sort asks
// it about each item many times.
uint32_t GetDataBrowserSortPass(ControlRef browser);

// Making the control

// Turns a list of an interface file into the list control (the toolkit does this when it
// loads the window). Without callbacks the list shows its column headers and no rows.
void MakeListControl(QTreeView* list);
// The list control itself, or null when the control is none.
QTreeView* ListControlView(ControlRef browser);
