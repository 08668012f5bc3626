// SPDX-License-Identifier: GPL-3.0-or-later
// unmount.h - unmounting a volume: through the desktop's disk service (UDisks2) when it runs,
// else by the kernel's call or, for FUSE volumes, fusermount.
#pragma once

#include <cstdint>

#include "toolkit/fileref.h"

// Unmounts the volume with this number and waits until it is done. 0 on success; -35 for a
// volume that is not mounted, -47 when it is busy, -5000 when we may not; another non-zero
// status for any other failure. Nothing is forced: a busy volume stays mounted.
[[nodiscard]] int16_t UnmountVolume(FSVolumeRefNum volume);
