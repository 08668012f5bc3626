// SPDX-License-Identifier: GPL-3.0-or-later
// qt_test_main.cpp - gtest main for tests that need a QApplication (offscreen, private HOME).
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>

#include <gtest/gtest.h>

#include "toolkit/resources.h"

int main(int argc, char** argv) {
    // Everything that writes below HOME or the XDG folders (QSettings, PulseAudio, FFmpeg) must
    // write into a folder of this run, never into the developer's own.
    std::string home = (std::filesystem::temp_directory_path() / "moviestick-home-XXXXXX").string();
    if (!mkdtemp(home.data())) return 2;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    SetResourceFolder(MOVIESTICK_RESOURCE_DIR);
    InstallTranslations();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return result;
}
