// SPDX-License-Identifier: GPL-3.0-or-later
// application_test.cpp - the built program: start-up, later starts handing over their requests,
// quitting, and the preferences a first run leaves behind.
#include <signal.h>

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Every run gets a home of its own: the preferences, the instance socket and whatever else the
// program writes stay in it.
class ApplicationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
        environment.insert("XDG_DATA_HOME", home.filePath(".local/share"));
        environment.insert("XDG_CACHE_HOME", home.filePath(".cache"));
        environment.insert("XDG_RUNTIME_DIR", home.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    }

    void TearDown() override {
        if (running.state() != QProcess::NotRunning) {
            running.kill();
            running.waitForFinished(5000);
        }
    }

    // Starts the program that stays running, and waits until later starts can reach it.
    void Start(const QStringList& arguments = {}) {
        running.setProcessEnvironment(environment);
        running.start(MOVIESTICK_PROGRAM, arguments);
        ASSERT_TRUE(running.waitForStarted(5000));
        const bool listening = QTest::qWaitFor(
            [this] {
                return !QDir(home.path())
                            .entryList({"moviestick-*.socket"}, QDir::System)
                            .isEmpty();
            },
            10000);
        ASSERT_TRUE(listening) << running.readAllStandardError().toStdString();
    }

    struct Result {
        int exitCode = -1;  // -1 for a crash
        QString errorOutput;
        QString output;
    };
    // A later start: it hands over its request and ends with the running one's answer.
    Result Later(const QStringList& arguments) { return LaterIn(environment, arguments); }
    Result LaterIn(const QProcessEnvironment& where, const QStringList& arguments) {
        QProcess later;
        later.setProcessEnvironment(where);
        later.start(MOVIESTICK_PROGRAM, arguments);
        if (!later.waitForFinished(10000)) {
            later.kill();
            later.waitForFinished();
            ADD_FAILURE() << "the later start did not end";
        }
        return {later.exitStatus() == QProcess::NormalExit ? later.exitCode() : -1,
                QString::fromLocal8Bit(later.readAllStandardError()).trimmed(),
                QString::fromLocal8Bit(later.readAllStandardOutput())};
    }
    // The same home, but no display of any kind to open a window on.
    QProcessEnvironment WithoutDisplay() const {
        QProcessEnvironment bare = environment;
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
            bare.remove(name);
        return bare;
    }
    bool SocketExists() const {
        return !QDir(home.path()).entryList({"moviestick-*.socket"}, QDir::System).isEmpty();
    }

    bool RunningEnds() {
        if (!running.waitForFinished(10000)) return false;
        return running.exitStatus() == QProcess::NormalExit && running.exitCode() == 0;
    }

    // The preferences the program stored, wherever under the configuration folder it put them.
    QStringList StoredKeys(QHash<QString, QVariant>* values) const {
        QDirIterator files(home.filePath(".config"), {"*.conf"}, QDir::Files,
                           QDirIterator::Subdirectories);
        QStringList keys;
        while (files.hasNext()) {
            QSettings settings(files.next(), QSettings::IniFormat);
            for (const QString& key : settings.allKeys()) {
                keys << key;
                values->insert(key, settings.value(key));
            }
        }
        return keys;
    }

    QString Movie(const QString& name) {
        const QString path = home.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not really a movie");
        return path;
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess running;
};

TEST_F(ApplicationTest, AFirstRunStoresTheDefaultsAndEverySettingAtQuit) {
    Start();
    const Result quit = Later({"--quit"});
    EXPECT_EQ(quit.exitCode, 0) << quit.errorOutput.toStdString();
    ASSERT_TRUE(RunningEnds());

    QHash<QString, QVariant> values;
    const QStringList keys = StoredKeys(&values);
    EXPECT_EQ(values.value("mountSound").toString(), "Pop.aiff");
    EXPECT_EQ(values.value("copyDoneSound").toString(), "Bottle.aiff");
    EXPECT_EQ(values.value("doubleClickAction").toInt(), 2);
    for (const char* key :
         {"pspMenuSelect", "optionThumbnail", "optionUnmount", "thumbnailArrowSecs1",
          "thumbnailArrowSecs2", "filenameColumWidth", "titleColumWidth", "windowBoundsLeft",
          "windowBoundsTop", "windowBoundsRight", "windowBoundsBottom"})
        EXPECT_TRUE(keys.contains(key)) << key;
    EXPECT_FALSE(keys.contains("debugLocalVolumeAsPSPVolume"));
}

TEST_F(ApplicationTest, LaterStartsHandTheirDocumentsToTheRunningOne) {
    const QString first = Movie("First.mp4");
    const QString second = Movie("Second.mp4");
    Start({first});

    // The running one took its own file at start: handing it over again adds nothing (-48).
    Result again = Later({first});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.errorOutput.contains("-48")) << again.errorOutput.toStdString();
    EXPECT_EQ(again.errorOutput.count('\n'), 0);

    Result added = Later({second});
    EXPECT_EQ(added.exitCode, 0) << added.errorOutput.toStdString();
    EXPECT_TRUE(added.errorOutput.isEmpty());
    EXPECT_EQ(Later({second}).exitCode, 1);

    Result print = Later({"--print", first});
    EXPECT_EQ(print.exitCode, 1);
    EXPECT_TRUE(print.errorOutput.contains("-1708")) << print.errorOutput.toStdString();

    EXPECT_EQ(running.state(), QProcess::Running);
    EXPECT_EQ(Later({"--quit"}).exitCode, 0);
    EXPECT_TRUE(RunningEnds());
}

TEST_F(ApplicationTest, TerminateQuitsAndStoresThePreferences) {
    Start();
    // The socket exists before the event loop runs; the signal waits for the loop either way.
    kill(pid_t(running.processId()), SIGTERM);
    ASSERT_TRUE(RunningEnds());
    QHash<QString, QVariant> values;
    EXPECT_TRUE(StoredKeys(&values).contains("windowBoundsRight"));
}

TEST_F(ApplicationTest, QuitWithNothingRunningSaysSo) {
    const Result quit = Later({"--quit"});
    EXPECT_EQ(quit.exitCode, 1);
    EXPECT_FALSE(quit.errorOutput.isEmpty());
    // It did not stay as an instance of its own.
    EXPECT_TRUE(QDir(home.path()).entryList({"moviestick-*.socket"}, QDir::System).isEmpty());
}

// Whatever needs no window works without a display; a start that would show the window says in
// one line that it cannot, instead of aborting.
TEST_F(ApplicationTest, WithoutADisplayOnlyTheWindowIsRefusedInOneLine) {
    const QProcessEnvironment bare = WithoutDisplay();
    const Result help = LaterIn(bare, {"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.errorOutput.toStdString();
    EXPECT_TRUE(help.output.startsWith("Usage: moviestick")) << help.output.toStdString();
    const Result version = LaterIn(bare, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression("^moviestick \\d+\\.\\d+").match(version.output).hasMatch())
        << version.output.toStdString();
    const Result quit = LaterIn(bare, {"--quit"});
    EXPECT_EQ(quit.exitCode, 1);
    EXPECT_EQ(quit.errorOutput.count('\n'), 0) << quit.errorOutput.toStdString();

    const Result window = LaterIn(bare, {Movie("a.mp4")});
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_TRUE(window.errorOutput.contains("window")) << window.errorOutput.toStdString();
    EXPECT_EQ(window.errorOutput.count('\n'), 0) << window.errorOutput.toStdString();
    EXPECT_FALSE(SocketExists());

    // With one running elsewhere, files and quit are handed over without a display.
    Start();
    const Result handed = LaterIn(bare, {Movie("b.mp4")});
    EXPECT_EQ(handed.exitCode, 0) << handed.errorOutput.toStdString();
    EXPECT_EQ(LaterIn(bare, {"--quit"}).exitCode, 0);
    EXPECT_TRUE(RunningEnds());
}

}  // namespace
