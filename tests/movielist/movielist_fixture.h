// SPDX-License-Identifier: GPL-3.0-or-later
// movielist_fixture.h - a fresh, empty movie list for each test, and helpers to fill it from disk.
#pragma once

#include <dirent.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "movielist/movielist.h"
#include "support/movielist_state.h"
#include "toolkit/alerts.h"

class MovieList : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override {
        SetAlertResponder({});
        Reset();
    }

    static void Reset() { ResetMovieList(); }

    static FSRef Ref(const std::string& path) {
        FSRef ref;
        EXPECT_EQ(FSPathMakeRef(path.c_str(), &ref), kNoErr) << path;
        return ref;
    }

    static int Add(const std::string& path, int count) {
        const FSRef ref = Ref(path);
        return CreateOpenFileInfo(&ref, count);
    }
    // Adds as an opener does: every item is tested against the entries before the batch.
    static std::vector<int> AddBatch(const std::vector<std::string>& paths) {
        const int start = CountOpenFileInfo();
        std::vector<int> statuses;
        for (const std::string& path : paths) statuses.push_back(Add(path, start));
        return statuses;
    }

    static std::string NameOf(const OpenFileInfo& entry) {
        return QStringFromHFSUniStr255(entry.fileName).toStdString();
    }
    static std::vector<std::string> ListedNames() {
        std::vector<std::string> names;
        for (int i = 0; i < CountOpenFileInfo(); ++i) names.push_back(NameOf((*gOpenFile)[i]));
        return names;
    }
    static const OpenFileInfo& Entry(int index) { return gOpenFile->at(size_t(index)); }

    static void WriteMovie(const std::string& path, const std::u16string& title = u"Title",
                           const std::string& videoCode = "avc1") {
        mp4test::writeFile(path, mp4test::smallMovie(title, videoCode));
    }

    // The folder's names in the order the file system lists them, which the walk must follow.
    static std::vector<std::string> DirectoryOrder(const std::string& folder) {
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        EXPECT_NE(dir, nullptr) << folder;
        if (!dir) return names;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
        return names;
    }
};
