// SPDX-License-Identifier: GPL-3.0-or-later
// device.cpp - memory-stick detection, the device pop-up and the application's sounds.
#include "transfer/device.h"

#include <cstring>
#include <string>
#include <vector>

#include "fsquery/fsquery.h"
#include "shared/prefs.h"
#include "toolkit/fileref.h"
#include "toolkit/localized.h"
#include "toolkit/popupmenu.h"
#include "toolkit/sounds.h"
#include "toolkit/volumes.h"
#include "transfer/transferglobals.h"

static constexpr size_t kPathBufferSize = 4096;
static constexpr int32_t kDevicePopupID = 2;

static std::string WithTrailingSlash(const char* path) {
    std::string out(path);
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

// The file system decides the case of names, so the marker names are asked for as they are.
static bool Resolves(const std::string& path, bool wantFolder) {
    if (path.size() >= kPathBufferSize) return false;
    FSRef ref;
    bool isFolder = false;
    return FSPathMakeRef(path.c_str(), &ref, &isFolder) == kNoErr && isFolder == wantFolder;
}

static bool IsFATVolume(const std::string& root) {
    FSRef ref;
    (void)FSPathMakeRef(root.c_str(), &ref);
    FSVolumeRefNum volume = 0;
    if (FSGetVRefNum(&ref, &volume) != kNoErr) return false;
    uint16_t fileSystemID = 0;
    return FSGetVolFileSystemID(volume, &fileSystemID, nullptr) == kNoErr &&
           fileSystemID == kFATFileSystemID;
}

bool IsPSP(const char* path) {
    if (!path) return false;
    const std::string root = WithTrailingSlash(path);
    if (!gPref.debugLocalVolumeAsPSPVolume && !IsFATVolume(root)) return false;
    return Resolves(root, true) && Resolves(root + "PSP", true) &&
           Resolves(root + "MEMSTICK.IND", false) && Resolves(root + "MSTK_PRO.IND", false);
}

int32_t CreatePSPMenu(WindowRef window, bool force) {
    static int32_t volCount = 0;
    static int32_t lastCount = 0;

    if (!window) return 0;
    // Between mounts and unmounts the count cannot change: nothing is read then.
    if (!MountTableChanged() && !force) return 1;
    std::vector<FSRef> volumes;
    int count = 0;
    if (FSGetMountedVolumes(&volumes, &count) != kNoErr) return 0;
    if (!force && count == volCount) return 1;

    volCount = count;
    ControlRef popup = nullptr;
    (void)GetControlByID(window, ControlID{kControlSignature, kDevicePopupID}, &popup);
    DeletePopupMenuItems(popup);
    gPref.devicePath[0] = '\0';

    int32_t found = 0;
    for (const FSRef& volume : volumes) {
        char path[kPathBufferSize];
        if (FSRefMakePath(&volume, path, kPathBufferSize) != kNoErr || !IsPSP(path)) continue;
        const std::string root = WithTrailingSlash(path);
        if (root.size() >= kPathBufferSize) continue;
        ++found;
        if (!gVolumeList) gVolumeList = new std::vector<std::string>;
        gVolumeList->resize(size_t(found));
        (*gVolumeList)[size_t(found - 1)] = root;
        HFSUniStr255 name;
        if (FSGetFileDirName(&volume, &name) != kNoErr) name = HFSUniStr255{};
        AppendPopupMenuItem(popup, QStringFromHFSUniStr255(name),
                            kFirstDeviceCommand + OSType(found - 1));
    }

    if (found == 0) {
        AppendPopupMenuItem(popup, LocalizedString(QStringLiteral("pspNotFound")), 0);
        if (popup) DeactivateControl(popup);
        return 0;
    }

    // Devices already there when the window opens (a forced scan) make no sound, nor does a
    // device plugged back in after it was pulled (a scan that finds none keeps lastCount).
    if (!force && found != lastCount) (void)PlaySound(gPref.mountSound);
    lastCount = found;
    const int32_t items = CountPopupMenuItems(popup);
    if (popup) {
        ActivateControl(popup);
        SetControl32BitMaximum(popup, items);
    }
    // Out of range either way, the pop-up would show a device and devicePath name none.
    if (gPref.pspMenuSelect > items || gPref.pspMenuSelect < 1) gPref.pspMenuSelect = 1;
    if (popup) SetControl32BitValue(popup, gPref.pspMenuSelect);
    const int32_t slot = gPref.pspMenuSelect - 1;
    if (slot >= 0 && slot < found) {
        const std::string& root = (*gVolumeList)[size_t(slot)];
        std::memcpy(gPref.devicePath, root.c_str(), root.size() + 1);
    }
    return 0;
}

int16_t PlaySound(const QString& soundName) {
    if (soundName.isEmpty()) return kNoErr;
    return PlayNamedSound(soundName);
}
