// SPDX-License-Identifier: GPL-3.0-or-later
// sounds.h - short sounds played by file name from the sound folders, to their end.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>

inline constexpr int16_t kNoSoundServerErr = -200;  // no sound server to play to
inline constexpr int16_t kBadSoundFileErr = -2048;  // the file holds no audio we can read
inline constexpr int16_t kNoSoundCodecErr = -8971;  // no decoder for the file's audio

// The file a sound name stands for: the system's sounds folder (/usr/share/sounds), then the
// user's ($XDG_DATA_HOME/sounds, ~/.local/share/sounds without it), then the resource folder's
// sounds/. A name holding "/" or ".." is no sound name. -43 when no folder holds it.
[[nodiscard]] int16_t FindSoundFile(const QString& name, QString* path);

// Plays the named sound and returns once it has finished. An empty name plays nothing and
// answers 0. Without a reachable sound server it fails at once with -200, never waiting.
[[nodiscard]] int16_t PlayNamedSound(const QString& name);

// A sound file decoded to 16-bit samples, channels interleaved; mono stays mono, anything else
// becomes stereo. -2048 for a file without audio, -8971 when no decoder reads its audio.
struct SoundSamples {
    std::vector<int16_t> samples;
    int rate = 0;
    int channels = 0;
};
[[nodiscard]] int16_t DecodeSoundFile(const QString& path, SoundSamples* sound);

// Tests hear sounds through a player: while one is set, PlayNamedSound hands it the name
// (empty names never reach it) and returns its answer. An empty function restores real sound.
using SoundPlayer = std::function<int16_t(const QString& name)>;
void SetSoundPlayer(SoundPlayer player);

// Points the system's sounds folder elsewhere (tests); "" restores /usr/share/sounds.
void SetSystemSoundFolder(const QString& folder);
