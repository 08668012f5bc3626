// SPDX-License-Identifier: GPL-3.0-or-later
// listview.h - the movie list in the main window: its cells, its order, what its clicks and
// edits do, its contextual menu, the display that follows the selection, and removing movies.
#pragma once

#include <cstdint>
#include <vector>

#include <QCollatorSortKey>
#include <QString>

#include "shared/application.h"
#include "shared/messages.h"
#include "toolkit/listcontrol.h"
#include "toolkit/ui.h"

class QMenu;

inline constexpr OSType kListFileColumn = FourCharCode("FILE");
inline constexpr OSType kListTitleColumn = FourCharCode("TITL");
inline constexpr OSType kListKindColumn = FourCharCode("KIND");  // "PSP": what the PSP plays

// The menu of the application's menus that the list shows for a contextual click.
inline constexpr int16_t kListContextualMenuID = 131;

// Double-click actions (the preference doubleClickAction).
inline constexpr int32_t kDoubleClickOpensMovies = 2;
inline constexpr int32_t kDoubleClickMakesThumbnail = 3;
inline constexpr int32_t kDoubleClickEditsTitle = 4;
inline constexpr int32_t kDoubleClickShowsItemIDs = 99;

// The key that orders names and titles: case ignored, in the user's language.
QCollatorSortKey NameSortKey(const QString& text);

// True while a title cell is being edited: the Delete keys then edit the text.
extern bool gEditTitleNow;

// The movie's name as the list shows it, with the cause of its failed title change in words.
MovieFailure TitleFailure(DataBrowserItemID item, MovieError why);

// Cells: the stored file name with the file's icon, the title (empty when there is none), and
// the video kind or why the movie cannot go (greyed then). A title typed into its cell becomes
// the movie's title. Always 0.
OSStatus BrowserItemDataProc(ControlRef browser, DataBrowserItemID item,
                             DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                             bool setValue);
// By the file's current name (read from the file system, so renames since adding count), by
// title or by the PSP column's text, ignoring case, in the user's language; movies without a
// title come first. Names, titles and kinds are read once per sort of the list.
bool BrowserItemCompareProc(ControlRef browser, DataBrowserItemID itemOne,
                            DataBrowserItemID itemTwo, DataBrowserPropertyID sortProperty);
void BrowserItemNotificationProc(ControlRef browser, DataBrowserItemID item,
                                 DataBrowserItemNotification message);
// Brings the controls and menus up to date with the selection, then offers menu 131.
void DataBrowserGetContextualMenuProc(ControlRef browser, QMenu** menu, uint32_t* helpType,
                                      QString* helpItemString,
                                      std::vector<DataBrowserItemID>* selection);
// The menu's items carry their own commands: nothing to do here.
void DataBrowserSelectContextualMenuProc(ControlRef browser, QMenu* menu, uint32_t selectionType,
                                         int16_t menuID, uint16_t menuItem);

// Controls 7 and 11 are active, and the preview shows the movie's thumbnail, only while exactly
// one movie is selected; then the commands are brought up to date.
void HandleDataBrowserSelect(ControlRef browser);
// What the thumbnail well says while it shows no picture: that the one selected movie has no
// thumbnail, or that one movie must be selected for it to show one.
void SetImageWellEmptyText(ControlRef well, bool oneSelected);

// Opens the title of the one selected movie for editing; 0, also when not exactly one is
// selected (nothing happens then).
[[nodiscard]] OSStatus EditSelectedTitle();

// Takes the movie out of the list view and then out of the movie list.
[[nodiscard]] OSStatus RemoveListItem(ControlRef browser, DataBrowserItemID item);
// Asks, then removes every selected movie; 0 when nothing is selected or the user cancels.
[[nodiscard]] OSStatus RemoveSelectedListItem();
