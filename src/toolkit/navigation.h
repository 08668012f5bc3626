// SPDX-License-Identifier: GPL-3.0-or-later
// navigation.h - the Open dialog: the user chooses several files and folders at once, and a
// filter decides which items the dialog lists.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "toolkit/fileref.h"
#include "toolkit/ui.h"

inline constexpr uint32_t kNavNoTypePopup = 0x01;
inline constexpr uint32_t kNavAllowMultipleFiles = 0x80;
inline constexpr uint32_t kNavDefaultNavDlogOptions = 0xE4;

inline constexpr int16_t kNavFilteringBrowserList = 0;

struct NavDialogOptions {
    int16_t locationH = -1;  // -1, -1: where the desktop puts dialogs
    int16_t locationV = -1;
    uint32_t dialogOptionFlags = kNavDefaultNavDlogOptions;
    QString windowTitle;  // empty: the dialog's own
};

struct NavFileOrFolderInfo {
    bool isFolder = false;
};

// Whether the dialog lists the item. Folders the filter refuses cannot be entered either.
using NavObjectFilterProcPtr = bool (*)(const FSRef* item, const NavFileOrFolderInfo* info,
                                        void* userData, int16_t filterMode);

// The items chosen, in the order the dialog reports them. An item that could not be made into
// a reference (it went away meanwhile) is an invalid one.
struct NavReplyRecord {
    bool validRecord = false;
    std::vector<FSRef> selection;
};

[[nodiscard]] OSStatus NavGetDefaultDialogOptions(NavDialogOptions* options);
// Runs the modal dialog over the front window. Opening with folders selected chooses them (a
// double click enters a folder). kUserCanceledErr when the user cancels. Without
// kNavAllowMultipleFiles only one item can be chosen.
[[nodiscard]] OSStatus NavGetFile(const FSRef* defaultLocation, NavReplyRecord* reply,
                                  const NavDialogOptions* options, NavObjectFilterProcPtr filter,
                                  void* userData);
void NavDisposeReply(NavReplyRecord* reply);
