// SPDX-License-Identifier: GPL-3.0-or-later
// opening_test.cpp - the three roads into the list: drops of files and folders, the
// open-documents event and the Open dialog; their name order, duplicates, refusals and stops.
#include "movielist/opening.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <thread>

#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTimer>

#include "listview_fixture.h"
#include "support/later_start.h"
#include "toolkit/localized.h"

using Names = std::vector<std::string>;

TEST_F(ListView, DroppedMoviesAreAddedInNameOrderAndTheListStopsBeingSorted) {
    const auto paths = Movies({"Zeta.mp4", "alpha.mp4", "Beta.MP4"});
    ASSERT_EQ(Open(Movies({"old.mp4"})), kNoErr);
    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListTitleColumn), 0);

    EXPECT_TRUE(Drop(FileDrag(paths)));
    EXPECT_EQ(ListedNames(), (Names{"old.mp4", "alpha.mp4", "Beta.MP4", "Zeta.mp4"}));
    EXPECT_EQ(ShownNames(), ListedNames());
    DataBrowserPropertyID property = 1;
    ASSERT_EQ(GetDataBrowserSortProperty(browser, &property), 0);
    EXPECT_EQ(property, kDataBrowserItemNoProperty);
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandSend));

    // Dropped again, with one new movie: only that one is added, and the drop is taken.
    const auto more = Movies({"new.mp4"});
    EXPECT_TRUE(Drop(FileDrag({paths[0], more[0], paths[1]})));
    EXPECT_EQ(ShownNames(), (Names{"old.mp4", "alpha.mp4", "Beta.MP4", "Zeta.mp4", "new.mp4"}));
    EXPECT_TRUE(Drop(FileDrag({paths[2]})));
    EXPECT_EQ(CountOpenFileInfo(), 5);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(ListView, AFolderAndAMovieSortAmongThemselvesAndTheFolderKeepsItsOwnOrder) {
    ASSERT_EQ(mkdir(dir.file("m").c_str(), 0755), 0);
    for (const char* name : {"q.mp4", "c.mp4", "x.mp4", "a.mp4", "notes.txt"})
        WriteMovie(dir.file(std::string("m/") + name));
    const auto movie = Movies({"n.mp4"});

    EXPECT_TRUE(Drop(FileDrag({movie[0], dir.file("m")})));
    Names expected;
    for (const std::string& name : DirectoryOrder(dir.file("m")))
        if (name != "notes.txt") expected.push_back(name);
    expected.push_back("n.mp4");
    EXPECT_EQ(ListedNames(), expected);
    EXPECT_EQ(ShownNames(), expected);
}

// A link to a folder that the user drops or opens is walked like the folder; the links inside it
// are still never walked, so a link back up cannot make the walk endless.
TEST_F(ListView, ALinkToAFolderChosenByTheUserIsWalkedButNotTheLinksInsideIt) {
    ASSERT_EQ(mkdir(dir.file("real").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("real/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("other").c_str(), 0755), 0);
    WriteMovie(dir.file("real/in.mp4"));
    WriteMovie(dir.file("real/sub/deep.mp4"));
    WriteMovie(dir.file("other/elsewhere.mp4"));
    ASSERT_EQ(symlink("real", dir.file("chosen").c_str()), 0);
    ASSERT_EQ(symlink("..", dir.file("real/up").c_str()), 0);
    ASSERT_EQ(symlink("../other", dir.file("real/other-link").c_str()), 0);

    EXPECT_TRUE(Drop(FileDrag({dir.file("chosen")})));
    Names names = ShownNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"deep.mp4", "in.mp4"}));
    // Found through the link, the movies keep the path the user chose.
    for (int i = 0; i < CountOpenFileInfo(); ++i)
        EXPECT_EQ(Entry(i).path.rfind(dir.file("chosen/"), 0), 0u) << Entry(i).path;

    // Opened with the application, the same: a folder answers -48.
    ASSERT_EQ(symlink("other", dir.file("chosen-other").c_str()), 0);
    EXPECT_EQ(Open({dir.file("chosen-other")}), kDupFNErr);
    EXPECT_EQ(ShownNames().back(), "elsewhere.mp4");
    EXPECT_EQ(CountOpenFileInfo(), 3);
    EXPECT_TRUE(alerts.empty());
}

// A drop whose batch ends early (item IDs exhausted) is not taken, so the program the files
// came from does not count them as delivered.
TEST_F(ListView, ADropIsTakenOnlyWhenItsBatchRanToItsEnd) {
    const auto paths = Movies({"a.mp4", "b.mp4"});
    lastID = std::numeric_limits<uint32_t>::max();
    EXPECT_FALSE(Drop(FileDrag(paths)));
    EXPECT_TRUE(ShownNames().empty());
    lastID = 0;
    EXPECT_TRUE(Drop(FileDrag(paths)));
    EXPECT_EQ(ShownNames(), (Names{"a.mp4", "b.mp4"}));
}

TEST_F(ListView, ADragWithOneNonMovieOrFromTheListItselfIsRefusedAsAWhole) {
    const auto paths = Movies({"a.mp4", "b.mp4"});
    mp4test::writeFile(dir.file("clip.mp3"), mp4test::smallMovie(u"mp3"));
    EXPECT_FALSE(Drop(FileDrag({paths[0], dir.file("clip.mp3"), paths[1]})));
    EXPECT_EQ(CountOpenFileInfo(), 0);
    EXPECT_FALSE(Drop(FileDrag({dir.file("gone.mp4")})));
    auto* text = new QMimeData;
    text->setText("a.mp4");
    EXPECT_FALSE(Drop(text));

    ASSERT_EQ(Open(paths), kNoErr);
    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListFileColumn), 0);
    EXPECT_FALSE(Drop(view->model()->mimeData({view->model()->index(0, 0)})));
    // A refused drag leaves the sort alone.
    DataBrowserPropertyID property = 0;
    ASSERT_EQ(GetDataBrowserSortProperty(browser, &property), 0);
    EXPECT_EQ(property, kListFileColumn);
    EXPECT_EQ(CountOpenFileInfo(), 2);
}

// A movie that another batch has shown meanwhile is not shown again, and nothing is refused.
TEST_F(ListView, ShowingTheNewMoviesLeavesOutThoseShownAlready) {
    ASSERT_EQ(Open(Movies({"a.mp4"})), kNoErr);
    const auto more = Movies({"b.mp4"});
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(more[0].c_str(), &ref), kNoErr);
    ASSERT_EQ(CreateOpenFileInfo(&ref, CountOpenFileInfo()), kNoErr);
    EXPECT_EQ(DoOpenFile(0), 0);
    EXPECT_EQ(ShownNames(), (Names{"a.mp4", "b.mp4"}));
    EXPECT_EQ(DoOpenFile(0), 0);
    EXPECT_EQ(ShownNames(), (Names{"a.mp4", "b.mp4"}));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(ListView, OpenDocumentsAnswerTheLastStatusAndShowWhatWasAdded) {
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
    WriteMovie(dir.file("folder/inside.mp4"));
    const auto movie = Movies({"z.mp4"});

    // Sorted: the folder comes before z.mp4, which is the last item handled.
    EXPECT_EQ(Open({movie[0], dir.file("folder")}), kNoErr);
    EXPECT_EQ(ShownNames(), (Names{"inside.mp4", "z.mp4"}));

    // Only a folder: -48, although its movie was added and shown.
    WriteMovie(dir.file("folder/later.mp4"));
    EXPECT_EQ(Open({dir.file("folder")}), kDupFNErr);
    EXPECT_EQ(ShownNames(), (Names{"inside.mp4", "z.mp4", "later.mp4"}));

    EXPECT_EQ(Open({dir.file("no such file.mp4")}), kDupFNErr);
    EXPECT_EQ(Open({}), kNoErr);
    EXPECT_EQ(CountOpenFileInfo(), 3);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(ListView, CtrlPeriodDuringADropStopsAddingAndShowsWhatWasAdded) {
    ASSERT_EQ(mkdir(dir.file("many").c_str(), 0755), 0);
    for (int i = 0; i < 40; ++i) WriteMovie(dir.file("many/m" + std::to_string(i) + ".mp4"));
    // Held down while the walk runs, the keys ask at the folder and at every movie: declined
    // three times, then confirmed.
    answers = {kAlertCancelButton, kAlertCancelButton, kAlertCancelButton, kAlertDefaultButton};
    QCoreApplication::postEvent(
        qApp, new QKeyEvent(QEvent::KeyPress, Qt::Key_Period, Qt::ControlModifier));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(Drop(FileDrag({dir.file("many")})));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QCoreApplication::sendEvent(qApp, &release);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    (void)IsCommandPeriod();

    ASSERT_EQ(alerts.size(), 4u);
    EXPECT_EQ(alerts[0].message, LocalizedString("StopOpenMessage"));
    EXPECT_TRUE(gStopOpen);
    EXPECT_EQ(CountOpenFileInfo(), 2);
    EXPECT_EQ(int(Rows().size()), 2);

    // The next batch starts afresh.
    const auto movie = Movies({"after.mp4"});
    EXPECT_TRUE(Drop(FileDrag(movie)));
    EXPECT_FALSE(gStopOpen);
    EXPECT_EQ(ShownNames().back(), "after.mp4");
}

// A second start hands over a movie while a folder walk lets events in (here: while the stop
// question is up). It is added after the walk's batch, and every movie of both is shown.
TEST_F(ListView, DocumentsHandedOverDuringABatchAreAddedAfterIt) {
    ASSERT_EQ(mkdir(dir.file("many").c_str(), 0755), 0);
    for (int i = 0; i < 5; ++i) WriteMovie(dir.file("many/m" + std::to_string(i) + ".mp4"));
    const auto forwarded = Movies({"forwarded.mp4"});
    int16_t answer = 1;
    ASSERT_EQ(JoinRunningInstance({AppleEventKind::OpenApplication, {}}, &answer),
              InstanceRole::Running);
    AEInstallEventHandler(AppleEventKind::OpenDocuments, AEOpenDoc, 0);
    DeliverAppleEvents();
    SettleEvents();

    std::unique_ptr<LaterStart> later;
    SetAlertResponder([&](const AlertRecord& record) {
        alerts.push_back(record);
        if (!later) {
            later = std::make_unique<LaterStart>(
                AppleEvent{AppleEventKind::OpenDocuments, {QString::fromStdString(forwarded[0])}});
            QTest::qWait(300);  // the request arrives while the question is up
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
            QCoreApplication::sendEvent(qApp, &release);
        }
        return kAlertCancelButton;  // go on adding
    });
    QCoreApplication::postEvent(
        qApp, new QKeyEvent(QEvent::KeyPress, Qt::Key_Period, Qt::ControlModifier));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(Drop(FileDrag({dir.file("many")})));
    ASSERT_NE(later, nullptr);
    ASSERT_TRUE(later->Finish());
    EXPECT_EQ(later->answer, kNoErr);
    LeaveRunningInstance();

    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, LocalizedString("StopOpenMessage"));
    EXPECT_EQ(CountOpenFileInfo(), 6);
    EXPECT_EQ(ShownNames(), ListedNames());
    EXPECT_EQ(ShownNames().back(), "forwarded.mp4");
}

TEST(OpenDialogFilter, ListsFoldersAndVideoFilesInAnyCase) {
    mp4test::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("folder.mp4.d").c_str(), 0755), 0);
    for (const char* name : {"a.mp4", "B.MP4", "c.Mp4", "d.mp3", "mp4", "e.mp4.txt", "f.MKV",
                             "g.mpeg", "h.Ts", "i.3gp", "j.webm", "mkv"})
        mp4test::writeFile(dir.file(name), {1});
    auto listed = [&](const char* name) {
        FSRef ref;
        bool folder = false;
        EXPECT_EQ(FSPathMakeRef(dir.file(name).c_str(), &ref, &folder), kNoErr) << name;
        const NavFileOrFolderInfo info{folder};
        return FilterProc(&ref, &info, nullptr, kNavFilteringBrowserList);
    };
    EXPECT_TRUE(listed("folder.mp4.d"));
    EXPECT_TRUE(listed("a.mp4"));
    EXPECT_TRUE(listed("B.MP4"));
    EXPECT_TRUE(listed("c.Mp4"));
    EXPECT_FALSE(listed("d.mp3"));
    EXPECT_FALSE(listed("mp4"));
    EXPECT_FALSE(listed("e.mp4.txt"));
    for (const char* name : {"f.MKV", "g.mpeg", "h.Ts", "i.3gp", "j.webm"})
        EXPECT_TRUE(listed(name)) << name;
    EXPECT_FALSE(listed("mkv"));
}

class OpenDialog : public ListView {
protected:
    // Runs the dialog; `choose` acts on it once it is shown and its folder is listed.
    void Run(std::function<void(QFileDialog*)> choose) {
        QTimer::singleShot(20, [this, choose] { WhenListed(choose, 250); });
        EXPECT_EQ(ProcessHICommand(kCommandOpen), 0);
    }
    void WhenListed(std::function<void(QFileDialog*)> choose, int triesLeft) {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog && !listedInDialog) dialog->setDirectory(QString::fromStdString(dir.path()));
        if (dialog) listedInDialog = true;
        QAbstractItemModel* model = dialog ? dialog->proxyModel() : nullptr;
        const QModelIndex root = dialog ? RootOf(dialog) : QModelIndex();
        if (model && root.isValid() && model->rowCount(root) > 0) {
            shown.clear();
            for (int row = 0; row < model->rowCount(root); ++row)
                shown.push_back(model->index(row, 0, root).data().toString().toStdString());
            std::sort(shown.begin(), shown.end());
            choose(dialog);
        } else if (triesLeft > 0) {
            QTimer::singleShot(20,
                               [this, choose, triesLeft] { WhenListed(choose, triesLeft - 1); });
        } else {
            ADD_FAILURE() << "the dialog did not list the folder";
            if (dialog) dialog->reject();
        }
    }
    QModelIndex RootOf(QFileDialog* dialog) {
        auto* proxy = qobject_cast<QSortFilterProxyModel*>(dialog->proxyModel());
        auto* files = proxy ? qobject_cast<QFileSystemModel*>(proxy->sourceModel()) : nullptr;
        return files ? proxy->mapFromSource(files->index(QString::fromStdString(dir.path())))
                     : QModelIndex();
    }
    static void Type(QFileDialog* dialog, const QString& text) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(text);
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
    }
    bool listedInDialog = false;
    Names shown;
};

TEST_F(OpenDialog, ListsOnlyFoldersAndMoviesAndAddsTheChoiceInNameOrder) {
    Movies({"Zeta.mp4", "alpha.mp4", "Beta.MP4"});
    mp4test::writeFile(dir.file("notes.txt"), {1});
    mp4test::writeFile(dir.file("clip.mp3"), {1});
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    WriteMovie(dir.file("sub/inner.mp4"));

    Run([](QFileDialog* dialog) { Type(dialog, "\"Zeta.mp4\" \"alpha.mp4\" \"Beta.MP4\""); });
    EXPECT_EQ(shown, (Names{"Beta.MP4", "Zeta.mp4", "alpha.mp4", "sub"}));
    EXPECT_EQ(ShownNames(), (Names{"alpha.mp4", "Beta.MP4", "Zeta.mp4"}));

    // A folder chosen is walked, not entered.
    Run([](QFileDialog* dialog) { Type(dialog, "\"sub\" \"alpha.mp4\""); });
    EXPECT_EQ(ShownNames(), (Names{"alpha.mp4", "Beta.MP4", "Zeta.mp4", "inner.mp4"}));

    Run([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(CountOpenFileInfo(), 4);
    EXPECT_TRUE(alerts.empty());
}
