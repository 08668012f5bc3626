// SPDX-License-Identifier: GPL-3.0-or-later
// listview_test.cpp - the movie list in the main window: cells, both sorts, title edits, the
// Delete keys during an edit, removal, the selection display, double clicks, titles from names.
#include "movielist/listview.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <QAction>
#include <QContextMenuEvent>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "container/movie.h"
#include "listview_fixture.h"
#include "shared/messages.h"
#include "support/file_faults.h"
#include "support/movielist_state.h"
#include "toolkit/localized.h"

using mp4test::Bytes;
using mp4test::readFile;
using Names = std::vector<std::string>;
using Ids = std::vector<DataBrowserItemID>;

namespace {

timespec ModTime(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mtim;
}

}  // namespace

TEST_F(ListView, CellsShowTheStoredNameWithItsIconAndTheTitleOrNothing) {
    const auto paths = Movies({"Holiday.mp4"});
    mp4test::writeFile(dir.file("plain.mp4"), mp4test::smallMovieWithoutMetadata());
    ASSERT_EQ(Open({paths[0], dir.file("plain.mp4")}), kNoErr);
    ASSERT_EQ(ShownNames(), (Names{"Holiday.mp4", "plain.mp4"}));
    EXPECT_EQ(Cell(0, 1), "Title of Holiday.mp4");
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_FALSE(view->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(view->model()->index(0, 1).data(Qt::DecorationRole).isValid());

    // The cell keeps the name the movie was added under.
    ASSERT_EQ(std::rename(paths[0].c_str(), dir.file("Renamed.mp4").c_str()), 0);
    EXPECT_EQ(Cell(0, 0), "Holiday.mp4");
}

TEST_F(ListView, SortingByFileNameUsesTheNamesOnDiskNowAndIgnoresCase) {
    const auto paths = Movies({"cherry.mp4", "Banana.mp4", "apple.mp4"});
    ASSERT_EQ(Open(paths), kNoErr);
    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListFileColumn), 0);
    EXPECT_EQ(ShownNames(), (Names{"apple.mp4", "Banana.mp4", "cherry.mp4"}));

    // Renamed since it was added: it sorts by its new name and still shows the old one.
    ASSERT_EQ(std::rename(dir.file("cherry.mp4").c_str(), dir.file("Aardvark.mp4").c_str()), 0);
    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListTitleColumn), 0);
    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListFileColumn), 0);
    EXPECT_EQ(ShownNames(), (Names{"cherry.mp4", "apple.mp4", "Banana.mp4"}));

    ASSERT_EQ(SetDataBrowserSortOrder(browser, kDataBrowserOrderDecreasing), 0);
    EXPECT_EQ(ShownNames(), (Names{"Banana.mp4", "apple.mp4", "cherry.mp4"}));
}

TEST_F(ListView, SortingByTitlePutsMoviesWithoutATitleFirstAndIgnoresCase) {
    WriteMovie(dir.file("1.mp4"), u"beta");
    WriteMovie(dir.file("2.mp4"), u"Alpha");
    mp4test::writeFile(dir.file("3.mp4"), mp4test::smallMovieWithoutMetadata());
    WriteMovie(dir.file("4.mp4"), u"Gamma");
    mp4test::writeFile(dir.file("5.mp4"), mp4test::smallMovieWithoutMetadata());
    ASSERT_EQ(Open({dir.file("1.mp4"), dir.file("2.mp4"), dir.file("3.mp4"), dir.file("4.mp4"),
                    dir.file("5.mp4")}),
              kNoErr);
    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListTitleColumn), 0);
    EXPECT_EQ(ShownNames(), (Names{"3.mp4", "5.mp4", "2.mp4", "1.mp4", "4.mp4"}));
}

TEST_F(ListView, EditingATitleWritesItIntoTheMovieAndAnUnchangedOneLeavesTheFileAlone) {
    const auto paths = Movies({"a.mp4", "b.mp4"});
    ASSERT_EQ(Open(paths), kNoErr);
    Select({IDOf(1)});
    auto edit = [this](const QString& text) {
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = view->viewport()->findChild<QLineEdit*>();
        if (!editor) return false;
        EXPECT_TRUE(gEditTitleNow);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        SettleEvents();
        return true;
    };

    ASSERT_TRUE(edit("Winter"));
    EXPECT_FALSE(gEditTitleNow);
    EXPECT_EQ(FileTitle(paths[1]), "Winter");
    EXPECT_EQ(Entry(1).title, QString("Winter"));
    EXPECT_EQ(Cell(1, 1), "Winter");
    EXPECT_EQ(FileTitle(paths[0]), "Title of a.mp4");

    const Bytes before = readFile(paths[1]);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, paths[1].c_str(), old, 0), 0);
    ASSERT_TRUE(edit("Winter"));
    EXPECT_EQ(readFile(paths[1]), before);
    EXPECT_EQ(ModTime(paths[1]).tv_sec, 1000000000);
}

// A click on the selected title starts no edit (its delayed edit once opened over an F2 edit and
// ate the first keys typed); F2, a double click when the preference asks for it, and the
// contextual menu's Edit Title do.
TEST_F(ListView, OnlyF2ADoubleClickWhenAskedAndTheContextualMenuStartATitleEdit) {
    const auto paths = Movies({"a.mp4", "b.mp4"});
    ASSERT_EQ(Open(paths), kNoErr);
    auto editor = [this] { return view->viewport()->findChild<QLineEdit*>(); };
    auto cell = [this](int row) { return view->visualRect(view->model()->index(row, 1)).center(); };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(0));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(0));
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(editor(), nullptr);

    QTest::keyClick(view, Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor(), "First");
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_Return);
    SettleEvents();
    EXPECT_EQ(FileTitle(paths[0]), "First");

    // A double click edits the title only when the preference says so.
    gPref.doubleClickAction = kDoubleClickEditsTitle;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(1));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell(1));
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), "Title of b.mp4");
    QTest::keyClick(editor(), Qt::Key_Escape);
    SettleEvents();
    EXPECT_EQ(editor(), nullptr);

    // The contextual menu's command edits the one selected movie's title.
    QAction* editTitle = nullptr;
    for (QAction* action : GetMenuHandle(kListContextualMenuID)->actions())
        if (action->property("command").toString() == FourCharCodeString(kCommandEditTitle))
            editTitle = action;
    ASSERT_NE(editTitle, nullptr);
    Select({IDOf(0), IDOf(1)});
    IdleProc(nullptr);
    EXPECT_FALSE(editTitle->isEnabled());
    Select({IDOf(0)});
    IdleProc(nullptr);
    ASSERT_TRUE(editTitle->isEnabled());
    editTitle->trigger();
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), "First");
    QTest::keyClick(editor(), Qt::Key_Escape);
    SettleEvents();
}

TEST_F(ListView, DeleteKeysWhileATitleIsEditedEditTheTextAndRemoveNothing) {
    ASSERT_EQ(Open(Movies({"a.mp4", "b.mp4"})), kNoErr);
    Select({IDOf(0)});
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setCursorPosition(0);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(editor->text(), "itle of a.mp");
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(CountOpenFileInfo(), 2);
    QTest::keyClick(editor, Qt::Key_Escape);
    SettleEvents();

    // With the edit over, the same key asks and removes.
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, LocalizedString("DeleteMessage"));
    EXPECT_EQ(Rows(), (Ids{IDOf(0)}));
    EXPECT_EQ(CountOpenFileInfo(), 1);
}

TEST_F(ListView, RemovingTheSelectionAsksFirstAndTakesTheMoviesOutOfViewAndList) {
    ASSERT_EQ(Open(Movies({"a.mp4", "b.mp4", "c.mp4"})), kNoErr);
    const Ids ids{IDOf(0), IDOf(1), IDOf(2)};

    // Nothing selected: nothing asked.
    EXPECT_EQ(RemoveSelectedListItem(), 0);
    EXPECT_TRUE(alerts.empty());

    Select({ids[0], ids[2]});
    answers = {kAlertCancelButton};
    EXPECT_EQ(RemoveSelectedListItem(), 0);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, LocalizedString("DeleteMessage"));
    EXPECT_TRUE(alerts[0].param.otherText.isEmpty());  // never "only the selected" here
    EXPECT_EQ(Rows(), ids);

    answers.push_back(kAlertDefaultButton);
    EXPECT_EQ(RemoveSelectedListItem(), 0);
    EXPECT_EQ(Rows(), (Ids{ids[1]}));
    EXPECT_EQ(ListedNames(), (Names{"b.mp4"}));

    // An item the view does not hold stays in the movie list, and the user is told.
    alerts.clear();
    EXPECT_EQ(RemoveListItem(browser, 999), kErrDataBrowserItemNotFound);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, LocalizedString("RemoveDataBrowserItems() error."));
    EXPECT_EQ(alerts[0].explanation, "Details: error -4971");
}

TEST_F(ListView, ExactlyOneSelectedMovieActivatesItsControlsAndCommands) {
    ASSERT_EQ(Open(Movies({"a.mp4", "b.mp4"})), kNoErr);
    EXPECT_FALSE(Active(kPrefMakeThumbnail));
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandRemove));

    // A selection change marks the list; the next tick brings the display up to date.
    Select({IDOf(1)});
    EXPECT_EQ(gUpdateControl, browser);
    EXPECT_FALSE(Active(kPrefMakeThumbnail));
    IdleProc(nullptr);
    EXPECT_EQ(gUpdateControl, nullptr);
    EXPECT_TRUE(Active(kPrefMakeThumbnail));
    EXPECT_TRUE(Active(kPrefThumbnailNote));
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandMakeThumbnail));
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandRemove));

    Select({IDOf(0), IDOf(1)});
    IdleProc(nullptr);
    EXPECT_FALSE(Active(kPrefMakeThumbnail));
    EXPECT_FALSE(Active(kPrefThumbnailNote));
    EXPECT_FALSE(IsMenuCommandEnabled(kCommandMakeThumbnail));
    EXPECT_TRUE(IsMenuCommandEnabled(kCommandRemove));

    // The contextual menu brings them up to date at once, before it shows.
    Select({IDOf(0)});
    QMenu* shown = nullptr;
    bool thumbnailActiveThen = false;
    QTimer::singleShot(50, [&] {
        shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        thumbnailActiveThen = Active(kPrefMakeThumbnail);
        if (shown) shown->close();
    });
    const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown, GetMenuHandle(kListContextualMenuID));
    EXPECT_TRUE(thumbnailActiveThen);
}

TEST_F(ListView, DoubleClickOpensTheSelectionOrShowsEveryItemIDOrTheMovieToolkitNote) {
    const auto paths = Movies({"a.mp4", "b.mp4", "c.mp4"});
    ASSERT_EQ(Open(paths), kNoErr);
    std::vector<QUrl> opened;
    size_t failAt = 0;
    SetURLOpener([&](const QUrl& url) {
        opened.push_back(url);
        return opened.size() != failAt;
    });
    // Whichever row was double-clicked, the selection is opened.
    Select({IDOf(0), IDOf(2)});
    BrowserItemNotificationProc(browser, IDOf(1), kDataBrowserItemDoubleClicked);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), paths[0]);
    EXPECT_EQ(opened[1].toLocalFile().toStdString(), paths[2]);
    opened.clear();
    failAt = 1;
    BrowserItemNotificationProc(browser, IDOf(1), kDataBrowserItemDoubleClicked);
    EXPECT_EQ(opened.size(), 1u);  // the first failure ends it
    EXPECT_TRUE(alerts.empty());

    // Every item, selected or not; a real double click this time.
    gPref.doubleClickAction = kDoubleClickShowsItemIDs;
    const QPoint at = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(alerts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(alerts[i].message, QString::number(IDOf(int(i))));

    alerts.clear();
    gPref.doubleClickAction = kDoubleClickMakesThumbnail;
    gQuickTimeVersion = 0x05FFFFFF;
    BrowserItemNotificationProc(browser, IDOf(0), kDataBrowserItemDoubleClicked);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].kind, kAlertNote);
    EXPECT_EQ(alerts[0].message, LocalizedString("qtErr"));
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(ListView, TitlesFromFileNamesForEveryMovieOrOnlyTheSelectedOnes) {
    const auto paths = Movies({"First Day.mp4", "Second.mp4", "Third.mp4"});
    ASSERT_EQ(Open(paths), kNoErr);
    auto titles = [this] {
        std::vector<std::string> all;
        for (int row = 0; row < 3; ++row) all.push_back(Cell(row, 1).toStdString());
        return all;
    };

    // Some but not all selected: the question offers the selection, which the answer takes.
    Select({IDOf(1)});
    answers = {kAlertOtherButton};
    EXPECT_EQ(ProcessHICommand(kCommandTitlesFromFileNames), 0);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, LocalizedString("RenameMessage"));
    EXPECT_EQ(alerts[0].param.otherText, LocalizedString("onlySelecedItem"));
    EXPECT_EQ(titles(), (Names{"Title of First Day.mp4", "Second", "Title of Third.mp4"}));
    EXPECT_EQ(FileTitle(paths[1]), "Second");

    answers.push_back(kAlertCancelButton);
    EXPECT_EQ(ProcessHICommand(kCommandTitlesFromFileNames), kUserCanceledErr);
    EXPECT_EQ(FileTitle(paths[0]), "Title of First Day.mp4");

    // Everything selected: no third button, and OK takes every movie.
    Select({IDOf(0), IDOf(1), IDOf(2)});
    answers.push_back(kAlertDefaultButton);
    EXPECT_EQ(ProcessHICommand(kCommandTitlesFromFileNames), 0);
    ASSERT_EQ(alerts.size(), 3u);
    EXPECT_TRUE(alerts[2].param.otherText.isEmpty());
    EXPECT_EQ(titles(), (Names{"First Day", "Second", "Third"}));
    EXPECT_EQ(FileTitle(paths[2]), "Third");
}

// Each question's buttons name what they do; the selection is offered only where it changes what
// is done, never for whether to stop adding movies.
TEST_F(ListView, QuestionsOfferThePartlySelectedListOnlyWhereItMatters) {
    ASSERT_EQ(Open(Movies({"One.mp4", "Two.mp4", "Three.mp4"})), kNoErr);
    Select({IDOf(1)});
    answers = {kAlertOtherButton, kAlertCancelButton, kAlertCancelButton};
    EXPECT_EQ(ConfirmAlert(kQuestionSend), kAlertOtherButton);
    EXPECT_EQ(ConfirmAlert(kQuestionStopOpen), kAlertCancelButton);
    EXPECT_EQ(ConfirmAlert(kQuestionDelete), kAlertCancelButton);
    ASSERT_EQ(alerts.size(), 3u);
    EXPECT_EQ(alerts[0].param.defaultText, "Send All");
    EXPECT_EQ(alerts[0].param.otherText, "Send Selected");
    EXPECT_TRUE(alerts[1].param.otherText.isEmpty());
    EXPECT_EQ(alerts[2].param.defaultText, "Remove");
    EXPECT_TRUE(alerts[2].param.otherText.isEmpty());
}

// ---- Titles the movie cannot take --------------------------------------------------------

TEST_F(ListView, ATitleTheFileCannotTakeLeavesItsOwnTitleShownAndOneMessageNamesMovieAndCause) {
    const auto paths = Movies({"locked.mp4"});
    ReadOnlyFile locked(paths[0]);
    if (!locked.ok()) GTEST_SKIP() << "the file cannot be made read-only here";
    ASSERT_EQ(Open(paths), kNoErr);
    Select({IDOf(0)});
    ASSERT_TRUE(EditTitle("Winter"));
    EXPECT_EQ(Cell(0, 1), "Title of locked.mp4");
    EXPECT_EQ(Entry(0).title, QString("Title of locked.mp4"));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].kind, kAlertStop);
    EXPECT_TRUE(alerts[0].message.contains("locked.mp4")) << alerts[0].message.toStdString();
    EXPECT_TRUE(alerts[0].message.contains(LocalizedString("the file is read-only")));

    // On a full disk a title change that must copy the movie (its metadata comes before its
    // data) fails the same way.
    FullDisk disk(dir.file("disk"), "256k");
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs mount here (it needs root)";
    using namespace mp4test;
    writeFile(disk.file("full.mp4"),
              cat({box("ftyp", ascii("isom")),
                   container("moov", {usmtWithTitle(u"Short"), box("mvhd", Bytes(100))}),
                   box("mdat", Bytes(64, 0x33))}));
    alerts.clear();
    ASSERT_EQ(Open({disk.file("full.mp4")}), kNoErr);
    disk.Fill();
    Select({IDOf(1)});
    ASSERT_TRUE(EditTitle("Long"));
    EXPECT_EQ(Cell(1, 1), "Short");
    EXPECT_EQ(FileTitle(disk.file("full.mp4")), "Short");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].message.contains("full.mp4")) << alerts[0].message.toStdString();
    EXPECT_TRUE(alerts[0].message.contains(LocalizedString("no room on the disk")));
}

TEST_F(ListView, TitlesFromFileNamesTellEveryFailureInOneMessageAtTheEnd) {
    const auto paths = Movies({"Good.mp4", "Locked.mp4"});
    mp4test::writeFile(dir.file("Junk.mp4"), Bytes(100, 0x20));
    ReadOnlyFile locked(paths[1]);
    if (!locked.ok()) GTEST_SKIP() << "the file cannot be made read-only here";
    ASSERT_EQ(Open({paths[0], paths[1], dir.file("Junk.mp4")}), kNoErr);
    answers = {kAlertDefaultButton};
    EXPECT_EQ(ProcessHICommand(kCommandTitlesFromFileNames), 0);
    ASSERT_EQ(ShownNames(), (Names{"Good.mp4", "Junk.mp4", "Locked.mp4"}));
    EXPECT_EQ(FileTitle(paths[0]), "Good");
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_EQ(Cell(2, 1), "Title of Locked.mp4");
    ASSERT_EQ(alerts.size(), 2u);  // the question, then the one message
    const AlertRecord& told = alerts[1];
    EXPECT_TRUE(told.message.contains("2")) << told.message.toStdString();
    const QStringList lines = told.explanation.split('\n');
    ASSERT_EQ(lines.size(), 2) << told.explanation.toStdString();
    EXPECT_TRUE(lines[0].contains("Junk.mp4") &&
                lines[0].contains(LocalizedString("not an MP4 movie")));
    EXPECT_TRUE(lines[1].contains("Locked.mp4") &&
                lines[1].contains(LocalizedString("the file is read-only")));
}

// ---- The PSP column -----------------------------------------------------------------------

TEST_F(ListView, ThePspColumnShowsTheVideoKindOrWhyTheMovieCannotGoGreyedAndSortsByIt) {
    WriteMovie(dir.file("a.mp4"), u"A", "hvc1");
    WriteMovie(dir.file("b.mp4"), u"B", "mp4v");
    mp4test::writeFile(dir.file("c.mp4"), Bytes(100, 0x20));
    WriteMovie(dir.file("d.mp4"), u"D", "avc1");
    ASSERT_EQ(Open({dir.file("a.mp4"), dir.file("b.mp4"), dir.file("c.mp4"), dir.file("d.mp4")}),
              kNoErr);
    EXPECT_EQ(view->model()->headerData(2, Qt::Horizontal).toString(), "PSP");
    const std::vector<QString> kinds = {LocalizedString("not a PSP video format: %1").arg("H.265"),
                                        "MPEG-4", LocalizedString("not an MP4 movie"), "AVC"};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(Cell(row, 2), kinds[size_t(row)]) << row;
        const bool greyed = view->model()->index(row, 2).data(Qt::ForegroundRole).isValid();
        EXPECT_EQ(greyed, row == 0 || row == 2) << row;
        // Only the PSP column is greyed: the name and title read as usual.
        EXPECT_FALSE(view->model()->index(row, 0).data(Qt::ForegroundRole).isValid());
    }

    ASSERT_EQ(SetDataBrowserSortProperty(browser, kListKindColumn), 0);
    EXPECT_EQ(ShownNames(), (Names{"d.mp4", "b.mp4", "a.mp4", "c.mp4"}));
    ASSERT_EQ(SetDataBrowserSortOrder(browser, kDataBrowserOrderDecreasing), 0);
    EXPECT_EQ(ShownNames(), (Names{"c.mp4", "a.mp4", "b.mp4", "d.mp4"}));
}

// The column follows the file when it has changed on disk: it is read again when its title is
// edited, not on every look.
TEST_F(ListView, AMovieChangedOnDiskIsReadAgainWhenItsTitleIsEdited) {
    WriteMovie(dir.file("a.mp4"), u"Old", "avc1");
    ASSERT_EQ(Open({dir.file("a.mp4")}), kNoErr);
    WriteMovie(dir.file("a.mp4"), u"Re-encoded", "hvc1");
    EXPECT_EQ(Cell(0, 2), "AVC");
    Select({IDOf(0)});
    ASSERT_TRUE(EditTitle("Re-encoded"));  // the title it holds now: nothing is written
    EXPECT_EQ(Cell(0, 1), "Re-encoded");
    EXPECT_EQ(Cell(0, 2), LocalizedString("not a PSP video format: %1").arg("H.265"));
    EXPECT_TRUE(alerts.empty());
}
