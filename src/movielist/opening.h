// SPDX-License-Identifier: GPL-3.0-or-later
// opening.h - the three roads by which movies reach the list: the Open dialog, documents the
// desktop opens with the application, and files and folders dropped on the list.
//
// Each road gathers a batch of references, sorts it by name, adds each through
// CreateOpenFileInfoFromChoice (tested for duplicates against the movies listed before the
// batch; a link to a folder the user chose is walked) and shows the batch's new movies once, at
// its end. Ctrl+period stops a batch after a question.
#pragma once

#include <cstdint>

#include "toolkit/fileref.h"
#include "toolkit/listcontrol.h"
#include "toolkit/navigation.h"
#include "toolkit/ui.h"

// Shows in the list view every movie of the list from that index on that it does not show yet.
// 0 when there is no list; otherwise the list control's status (a failure is told to the user
// as well).
[[nodiscard]] OSStatus DoOpenFile(int firstIndex);

// The Open dialog: adds the movies and folders the user chooses.
void DoOpenDialog();

// The open-documents event: adds the files and folders it names. Answers the status of the last
// CreateOpenFileInfo, so -48 when the last item was a folder, a duplicate or not a movie.
int16_t AEOpenDoc(const AppleEvent& event, void* reply, long refcon);

// The Open dialog lists folders, and files with a video ending (VideoEndingOf), in any case.
bool FilterProc(const FSRef* item, const NavFileOrFolderInfo* info, void* userData,
                int16_t filterMode);

// A drag is accepted only when it comes from elsewhere and every item is a folder or a file
// with a video ending; accepting shows the list in the order of adding again.
bool DataBrowserAcceptDragProc(ControlRef browser, DragRef drag, DataBrowserItemID item);
// Adds the dropped items; false when their data could not be read or the batch failed.
bool DataBrowserItemReceiveDragProc(ControlRef browser, DragRef drag, DataBrowserItemID item);

// The batch order: the objects' current names, extension included, ignoring case, in the
// user's language. Negative, 0 or positive.
int FSRefCompareProc(const FSRef* one, const FSRef* two);

// The current Unicode name of the object the reference names.
[[nodiscard]] int16_t HFSNameFromFSSpec(HFSUniStr255* name, const FSRef* item);
