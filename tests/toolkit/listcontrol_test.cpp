// SPDX-License-Identifier: GPL-3.0-or-later
// listcontrol_test.cpp - the list control with callbacks of the test's own: rows and cells, the
// order by header or call, removal, ending edits, drag flavors, file icons and opening files.
// The movie list's own use of it is tested in tests/movielist.
#include "toolkit/listcontrol.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "support/ui_windows.h"
#include "toolkit/launch.h"

namespace {

constexpr DataBrowserPropertyID kName = FourCharCode("FILE");
constexpr DataBrowserPropertyID kTitle = FourCharCode("TITL");

using Ids = std::vector<DataBrowserItemID>;
using Messages = std::vector<DataBrowserItemNotification>;

struct DraggedItem {
    bool hasFlavor;
    OSType fileType;
    std::string path;
};

// What the callbacks answer with, and what they were told.
struct ListState {
    std::map<DataBrowserItemID, QString> names;
    std::vector<DataBrowserItemID> greyed;
    int asked = 0;     // cells asked of the item-data callback
    int compared = 0;  // questions to the compare callback
    std::vector<std::pair<DataBrowserItemID, QString>> titlesSet;  // edits taken, in order
    bool editable = true;
    Messages told;
    std::vector<bool> listedWhenRemoved;  // whether the row was still there when reported
    bool acceptDrags = true;
    bool takeDrops = true;
    int receives = 0;
    DragAttributes attributes = 0;
    std::vector<DraggedItem> dragged;
};
ListState gState;

OSStatus ItemData(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                  DataBrowserItemDataRef data, bool setValue) {
    ++gState.asked;
    if (property == kDataBrowserItemIsEditableProperty && gState.editable)
        (void)SetDataBrowserItemDataBooleanValue(data, true);
    else if (!setValue && property == kName)
        (void)SetDataBrowserItemDataText(data, gState.names[item]);
    // A title taken renames the item, so that it would sort elsewhere now.
    if (setValue && property == kTitle) {
        gState.titlesSet.emplace_back(item, data->text);
        gState.names[item] = data->text;
    }
    if (!setValue && std::count(gState.greyed.begin(), gState.greyed.end(), item))
        (void)SetDataBrowserItemDataGreyed(data, true);
    return 0;
}

// Names sort by their text; "titles" by its reverse, so that the two orders differ.
bool Compare(ControlRef, DataBrowserItemID a, DataBrowserItemID b, DataBrowserPropertyID by) {
    ++gState.compared;
    return by == kName ? gState.names.at(a) < gState.names.at(b)
                       : gState.names.at(a) > gState.names.at(b);
}

void Notification(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message) {
    gState.told.push_back(message);
    if (message == kDataBrowserItemRemoved)
        gState.listedWhenRemoved.push_back(GetDataBrowserTableViewItemRow(browser, item, nullptr) ==
                                           0);
}

void ReadDrag(DragRef drag) {
    gState.dragged.clear();
    EXPECT_EQ(GetDragAttributes(drag, &gState.attributes), 0);
    uint16_t count = 0;
    ASSERT_EQ(CountDragItems(drag, &count), 0);
    for (uint16_t i = 1; i <= count; ++i) {
        DragItemRef item = 0;
        ASSERT_EQ(GetDragItemReferenceNumber(drag, i, &item), 0);
        FlavorFlags flags = 0;
        HFSFlavor flavor;
        const bool has = GetFlavorFlags(drag, item, kDragFlavorTypeHFS, &flags) == 0 &&
                         GetFlavorData(drag, item, kDragFlavorTypeHFS, &flavor) == 0;
        gState.dragged.push_back({has, flavor.fileType, flavor.fileSpec.path});
    }
}

bool AcceptDrag(ControlRef, DragRef drag, DataBrowserItemID) {
    ReadDrag(drag);
    return gState.acceptDrags;
}

bool ReceiveDrag(ControlRef, DragRef, DataBrowserItemID) {
    ++gState.receives;
    return gState.takeDrops;
}

class ListControl : public testing::Test {
protected:
    void SetUp() override {
        gState = ListState{};
        window = LoadNibWindow("Pref");
        ASSERT_NE(window, nullptr);
        list = FindNibControl(window, 3);
        view = ListControlView(list);
        ASSERT_NE(view, nullptr);
        DataBrowserCallbacks callbacks;
        ASSERT_EQ(InitDataBrowserCallbacks(&callbacks), 0);
        callbacks.itemDataCallback = ItemData;
        callbacks.itemCompareCallback = Compare;
        callbacks.itemNotificationCallback = Notification;
        callbacks.acceptDragCallback = AcceptDrag;
        callbacks.receiveDragCallback = ReceiveDrag;
        ASSERT_EQ(SetDataBrowserCallbacks(list, &callbacks), 0);
        ShowWindow(window);
        SettleEvents();
    }
    void TearDown() override { DisposeAllWindows(); }

    // Items 1..n with the given names.
    void AddItems(const std::vector<QString>& names) {
        Ids ids;
        for (const QString& name : names) {
            ids.push_back(DataBrowserItemID(gState.names.size() + 1));
            gState.names[ids.back()] = name;
        }
        ASSERT_EQ(AddDataBrowserItems(list, 0, uint32_t(ids.size()), ids.data(), 0), 0);
    }
    Ids Items(DataBrowserItemState state = kDataBrowserItemAnyState) {
        Ids items;
        EXPECT_EQ(GetDataBrowserItems(list, 0, false, state, &items), 0);
        return items;
    }
    // The item of the current row, or 0.
    DataBrowserItemID CurrentItem() {
        const QModelIndex current = view->selectionModel()->currentIndex();
        DataBrowserItemID item = 0;
        if (current.isValid()) {
            EXPECT_EQ(GetDataBrowserTableViewItemID(list, uint32_t(current.row()), &item), 0);
        }
        return item;
    }
    // Every row answers for the item shown in it, by ID, by row and by its cells.
    void ExpectRowsAnswerInDisplayOrder() {
        const Ids items = Items();
        for (uint32_t row = 0; row < items.size(); ++row) {
            uint32_t found = 0;
            ASSERT_EQ(GetDataBrowserTableViewItemRow(list, items[row], &found), 0);
            EXPECT_EQ(found, row);
            DataBrowserItemID item = 0;
            ASSERT_EQ(GetDataBrowserTableViewItemID(list, row, &item), 0);
            EXPECT_EQ(item, items[row]);
            EXPECT_EQ(view->model()->index(int(row), 0).data().toString(),
                      gState.names[items[row]]);
        }
    }

    WindowRef window = nullptr;
    ControlRef list = nullptr;
    QTreeView* view = nullptr;
};

TEST_F(ListControl, ItemsShowInTheOrderOfAddingAndEachIDOnlyOnce) {
    AddItems({"b", "a", "c"});
    EXPECT_EQ(Items(), (Ids{1, 2, 3}));
    EXPECT_EQ(gState.told, (Messages{1, 1, 1}));
    EXPECT_EQ(view->model()->index(1, 0).data().toString(), "a");
    EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), "Title");
    // Only the columns the interface file names take edits.
    EXPECT_FALSE(view->model()->flags(view->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(view->model()->flags(view->model()->index(0, 1)) & Qt::ItemIsEditable);

    // IDs listed already, repeated in one call, or 0 add nothing at all.
    for (const Ids& bad : {Ids{4, 2}, Ids{5, 5}, Ids{0}})
        EXPECT_EQ(AddDataBrowserItems(list, 0, uint32_t(bad.size()), bad.data(), 0),
                  kErrDataBrowserItemNotAdded);
    EXPECT_EQ(Items(), (Ids{1, 2, 3}));
    uint32_t count = 0;
    EXPECT_EQ(GetDataBrowserItemCount(FindNibControl(window, 1), 0, false, kDataBrowserItemAnyState,
                                      &count),
              kErrDataBrowserNotConfigured);
}

TEST_F(ListControl, AGreyedCellTakesTheColourOfInactiveTextAndTheOthersKeepTheListsOwn) {
    gState.greyed = {2};
    AddItems({"usable", "greyed"});
    const QModelIndex plain = view->model()->index(0, 0);
    const QModelIndex greyed = view->model()->index(1, 0);
    EXPECT_FALSE(plain.data(Qt::ForegroundRole).isValid());
    const QColor colour = greyed.data(Qt::ForegroundRole).value<QBrush>().color();
    EXPECT_EQ(colour, view->palette().color(QPalette::Disabled, QPalette::Text));
    EXPECT_NE(colour, view->palette().color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(greyed.data().toString(), "greyed");  // still readable

    // What a delegate paints from: every role of the cell from one question to the callback.
    QModelRoleData roles[] = {QModelRoleData(Qt::ForegroundRole), QModelRoleData(Qt::DisplayRole),
                              QModelRoleData(Qt::DecorationRole), QModelRoleData(Qt::FontRole)};
    gState.asked = 0;
    view->model()->multiData(greyed, roles);
    EXPECT_EQ(gState.asked, 1);
    EXPECT_EQ(roles[0].data().value<QBrush>().color(), colour);
    EXPECT_EQ(roles[1].data().toString(), "greyed");
    EXPECT_FALSE(roles[2].data().isValid() || roles[3].data().isValid());
}

TEST_F(ListControl, HeaderClicksAndCallsSortKeepingTheSelectionAndNoneRestoresTheAddingOrder) {
    AddItems({"b", "c", "a"});
    const Ids first{1};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 1, first.data(), kDataBrowserItemsAssign), 0);
    const uint32_t pass = GetDataBrowserSortPass(list);
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    EXPECT_EQ(Items(), (Ids{3, 1, 2}));
    EXPECT_GT(GetDataBrowserSortPass(list), pass);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{1}));

    // Another column sorts in the present order; its second click turns the order round.
    ASSERT_EQ(SetDataBrowserSortOrder(list, kDataBrowserOrderDecreasing), 0);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));
    QHeaderView* header = view->header();
    const QPoint titleHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titleHeader);
    DataBrowserPropertyID property = 0;
    ASSERT_EQ(GetDataBrowserSortProperty(list, &property), 0);
    EXPECT_EQ(property, kTitle);
    EXPECT_EQ(Items(), (Ids{3, 1, 2}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titleHeader);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));

    AddItems({"d"});  // into its sorted place
    EXPECT_EQ(Items(), (Ids{4, 2, 1, 3}));
    ASSERT_EQ(SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty), 0);
    EXPECT_EQ(Items(), (Ids{1, 2, 3, 4}));
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    EXPECT_EQ(SetDataBrowserSortProperty(list, FourCharCode("XXXX")), kParamErr);
}

TEST_F(ListControl, RemovalIsReportedOnceTheRowIsGoneAndStopsAtAnUnknownItem) {
    AddItems({"a", "b", "c", "d"});
    gState.told.clear();
    const Ids some{3, 1, 9, 4};
    EXPECT_EQ(RemoveDataBrowserItems(list, 0, 4, some.data(), 0), kErrDataBrowserItemNotFound);
    EXPECT_EQ(Items(), (Ids{2, 4}));
    EXPECT_EQ(gState.told, (Messages{2, 2}));
    EXPECT_EQ(gState.listedWhenRemoved, (std::vector<bool>{false, false}));

    // The order of adding forgets them too, and an ID removed may come back.
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    ASSERT_EQ(SetDataBrowserSortProperty(list, 0), 0);
    EXPECT_EQ(Items(), (Ids{2, 4}));
    EXPECT_EQ(AddDataBrowserItems(list, 0, 1, some.data() + 1, 0), 0);
    gState.told.clear();
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, 0, nullptr, 0), 0);
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(gState.told, (Messages{2, 2, 2}));
}

// Rows scattered over the list go in one change of the view: the rest keep their order, their
// selection and a current row, in display order also while sorted, and each removal is told once.
TEST_F(ListControl, ManyScatteredRemovalsKeepTheRestTheirOrderSelectionAndCurrentRow) {
    std::vector<QString> names;
    for (int i = 0; i < 40; ++i) names.push_back(QString::number(100 + (i * 7) % 40));
    AddItems(names);
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    const Ids sorted = Items();
    // Every other item of the first half selected; the current row is one that goes.
    Ids selected;
    for (size_t row = 0; row < 20; row += 2) selected.push_back(sorted[row]);
    ASSERT_EQ(SetDataBrowserSelectedItems(list, uint32_t(selected.size()), selected.data(),
                                          kDataBrowserItemsAssign),
              0);
    view->selectionModel()->setCurrentIndex(view->model()->index(8, 0),
                                            QItemSelectionModel::NoUpdate);
    Ids gone;
    for (size_t row = 0; row < sorted.size(); row += 4) gone.push_back(sorted[row]);
    gState.told.clear();
    gState.listedWhenRemoved.clear();
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, uint32_t(gone.size()), gone.data(), 0), 0);

    Ids rest;
    for (size_t row = 0; row < sorted.size(); ++row)
        if (row % 4 != 0) rest.push_back(sorted[row]);
    EXPECT_EQ(Items(), rest);
    Ids stillSelected;
    for (size_t row = 2; row < 20; row += 4) stillSelected.push_back(sorted[row]);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), stillSelected);
    EXPECT_EQ(std::count(gState.told.begin(), gState.told.end(), kDataBrowserItemRemoved),
              long(gone.size()));
    EXPECT_EQ(gState.listedWhenRemoved, std::vector<bool>(gone.size(), false));
    const QModelIndex current = view->selectionModel()->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(rest[size_t(current.row())], sorted[9]);

    // The order of adding forgot them too.
    ASSERT_EQ(SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty), 0);
    Ids added;
    for (DataBrowserItemID item = 1; item <= 40; ++item)
        if (std::find(gone.begin(), gone.end(), item) == gone.end()) added.push_back(item);
    EXPECT_EQ(Items(), added);

    // Removing the whole selection leaves none, and the list hears that it changed.
    gState.told.clear();
    const Ids all = Items();
    Ids everyOther;
    for (size_t row = 0; row < all.size(); row += 2) everyOther.push_back(all[row]);
    ASSERT_EQ(SetDataBrowserSelectedItems(list, uint32_t(everyOther.size()), everyOther.data(),
                                          kDataBrowserItemsAssign),
              0);
    gState.told.clear();
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, uint32_t(everyOther.size()), everyOther.data(), 0),
              0);
    EXPECT_TRUE(Items(kDataBrowserItemIsSelected).empty());
    EXPECT_NE(std::find(gState.told.begin(), gState.told.end(), kDataBrowserSelectionSetChanged),
              gState.told.end());
}

// F2 edits the row's title, whichever cell of the row is current.
TEST_F(ListControl, AnEditEndsWithItsReportAlsoWhenCancelledOrWhenItsRowGoes) {
    AddItems({"a"});
    auto startEdit = [this] {
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_F2);
        return view->viewport()->findChild<QLineEdit*>();
    };
    ASSERT_NE(startEdit(), nullptr);
    EXPECT_EQ(gState.told.back(), kDataBrowserEditStarted);
    QTest::keyClick(view->viewport()->findChild<QLineEdit*>(), Qt::Key_Escape);
    SettleEvents();
    EXPECT_EQ(gState.told.back(), kDataBrowserEditStopped);

    ASSERT_NE(startEdit(), nullptr);
    gState.told.clear();
    const Ids only{1};
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, 1, only.data(), 0), 0);
    SettleEvents();
    EXPECT_EQ(std::count(gState.told.begin(), gState.told.end(), kDataBrowserEditStopped), 1);

    // Asked for by the program: only an editable column of a listed item.
    AddItems({"b"});
    EXPECT_EQ(OpenDataBrowserEditSession(list, 1, kTitle), kErrDataBrowserItemNotFound);
    EXPECT_EQ(OpenDataBrowserEditSession(list, 2, kName), kParamErr);
    EXPECT_EQ(view->viewport()->findChild<QLineEdit*>(), nullptr);
    ASSERT_EQ(OpenDataBrowserEditSession(list, 2, kTitle), 0);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(view->currentIndex().column(), 1);
    QTest::keyClick(editor, Qt::Key_Escape);
    SettleEvents();

    // The item-data callback may refuse any edit.
    gState.editable = false;
    EXPECT_EQ(startEdit(), nullptr);
    EXPECT_EQ(OpenDataBrowserEditSession(list, 2, kTitle), 0);
    EXPECT_EQ(view->viewport()->findChild<QLineEdit*>(), nullptr);
}

// A sort starts from the order the list showed: items that tie must come out in the order of
// adding all the same, increasing or decreasing, with the selection and current item on them.
TEST_F(ListControl, ItemsThatTieKeepTheOrderOfAddingInBothOrdersAndTheSelectionStaysOnItsItems) {
    AddItems({"d", "c", "b", "a"});
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    EXPECT_EQ(Items(), (Ids{4, 3, 2, 1}));
    const Ids chosen{3, 4};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 2, chosen.data(), kDataBrowserItemsAssign), 0);
    view->selectionModel()->setCurrentIndex(view->model()->index(3, 1),
                                            QItemSelectionModel::NoUpdate);
    ASSERT_EQ(CurrentItem(), 1u);

    gState.names = {{1, "b"}, {2, "a"}, {3, "b"}, {4, "a"}};
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    EXPECT_EQ(Items(), (Ids{2, 4, 1, 3}));
    ASSERT_EQ(SetDataBrowserSortOrder(list, kDataBrowserOrderDecreasing), 0);
    EXPECT_EQ(Items(), (Ids{1, 3, 2, 4}));
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{3, 4}));
    EXPECT_EQ(CurrentItem(), 1u);
    EXPECT_EQ(view->selectionModel()->currentIndex().column(), 1);
    ExpectRowsAnswerInDisplayOrder();

    // Items added later go after those they tie with.
    AddItems({"a", "b"});
    EXPECT_EQ(Items(), (Ids{1, 3, 6, 2, 4, 5}));
    ASSERT_EQ(SetDataBrowserSortOrder(list, kDataBrowserOrderIncreasing), 0);
    EXPECT_EQ(Items(), (Ids{2, 4, 5, 1, 3, 6}));
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{4, 3}));
    EXPECT_EQ(CurrentItem(), 1u);
    ExpectRowsAnswerInDisplayOrder();

    // Dragged rows carry their items in the order shown.
    QMimeData* mime = view->model()->mimeData(
        {view->model()->index(3, 0), view->model()->index(0, 1), view->model()->index(3, 1)});
    ASSERT_NE(mime, nullptr);
    const QList<QByteArray> words = mime->data(mime->formats().value(0)).split(' ');
    delete mime;
    EXPECT_EQ(words.mid(2), (QList<QByteArray>{"2", "1"}));
}

// The editor belongs to its item, wherever a sort moves it; what it takes moves nothing until
// the list sorts again.
TEST_F(ListControl, AnOpenTitleEditorFollowsItsItemThroughASortAndItsEditWaitsForTheNextSort) {
    AddItems({"b", "a", "c"});
    ASSERT_EQ(OpenDataBrowserEditSession(list, 1, kTitle), 0);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));
    SettleEvents();
    ASSERT_EQ(view->viewport()->findChild<QLineEdit*>(), editor);
    EXPECT_TRUE(view->visualRect(view->model()->index(1, 1)).contains(editor->geometry().center()));
    EXPECT_EQ(view->currentIndex(), view->model()->index(1, 1));

    editor->setText("z");
    QTest::keyClick(editor, Qt::Key_Return);
    SettleEvents();
    using Taken = std::vector<std::pair<DataBrowserItemID, QString>>;
    EXPECT_EQ(gState.titlesSet, (Taken{{1, "z"}}));
    EXPECT_EQ(std::count(gState.told.begin(), gState.told.end(), kDataBrowserEditStopped), 1);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));
    ASSERT_EQ(UpdateDataBrowserItems(list, 0, 0, nullptr, 0, kDataBrowserItemNoProperty), 0);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));
    EXPECT_EQ(view->model()->index(1, 0).data().toString(), "z");
    ASSERT_EQ(SetDataBrowserSortOrder(list, kDataBrowserOrderIncreasing), 0);
    EXPECT_EQ(Items(), (Ids{2, 3, 1}));
}

// Rows next to each other on screen lie apart in the order of adding, and the other way round;
// either kind of removal takes the right ones, keeps the order without sorting again, and leaves
// every row answering for its own item.
TEST_F(ListControl, RemovalFromASortedListTakesTheRightRowsAndKeepsTheOrderShown) {
    std::vector<QString> names;
    for (int i = 0; i < 30; ++i) names.push_back(QString::number(10 + (i * 11) % 30 / 2));
    AddItems(names);
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    ASSERT_EQ(SetDataBrowserSortOrder(list, kDataBrowserOrderDecreasing), 0);
    Ids expected;
    for (DataBrowserItemID item = 1; item <= 30; ++item) expected.push_back(item);
    std::stable_sort(
        expected.begin(), expected.end(),
        [](DataBrowserItemID a, DataBrowserItemID b) { return gState.names[a] > gState.names[b]; });
    const Ids shown = Items();
    ASSERT_EQ(shown, expected);
    const Ids chosen{shown[0], shown[8], shown[21]};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 3, chosen.data(), kDataBrowserItemsAssign), 0);
    view->selectionModel()->setCurrentIndex(view->model()->index(10, 0),
                                            QItemSelectionModel::NoUpdate);
    auto without = [](Ids items, const Ids& gone) {
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](DataBrowserItemID item) {
                                       return std::count(gone.begin(), gone.end(), item) > 0;
                                   }),
                    items.end());
        return items;
    };

    gState.compared = 0;
    const Ids run(shown.begin() + 3, shown.begin() + 7);
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, uint32_t(run.size()), run.data(), 0), 0);
    const Ids rest = without(shown, run);
    EXPECT_EQ(Items(), rest);
    EXPECT_EQ(CurrentItem(), shown[10]);
    ExpectRowsAnswerInDisplayOrder();

    Ids scattered;
    for (size_t row = 1; row < rest.size(); row += 2)
        if (rest[row] != shown[8]) scattered.push_back(rest[row]);
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, uint32_t(scattered.size()), scattered.data(), 0), 0);
    const Ids left = without(rest, scattered);
    EXPECT_EQ(Items(), left);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), without(chosen, scattered));
    EXPECT_EQ(gState.compared, 0);
    ExpectRowsAnswerInDisplayOrder();
    for (DataBrowserItemID item : scattered)
        EXPECT_EQ(GetDataBrowserTableViewItemRow(list, item, nullptr), kErrDataBrowserItemNotFound);

    // A removed ID may come back, into its sorted place; no sort restores the order of adding.
    ASSERT_EQ(AddDataBrowserItems(list, 0, 1, &run[0], 0), 0);
    Ids back = left;
    back.push_back(run[0]);
    std::stable_sort(back.begin(), back.end(), [](DataBrowserItemID a, DataBrowserItemID b) {
        return gState.names[a] > gState.names[b];
    });
    EXPECT_EQ(Items(), back);
    ExpectRowsAnswerInDisplayOrder();
    ASSERT_EQ(SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty), 0);
    Ids added = left;
    std::sort(added.begin(), added.end());
    added.push_back(run[0]);
    EXPECT_EQ(Items(), added);
}

TEST_F(ListControl, LocalFilesAndFoldersOfferTheFileFlavorAndOurOwnRowsAreMarked) {
    mp4test::TempDir dir;
    mp4test::writeFile(dir.file("a.mp4"), {1});
    auto drop = [this](QMimeData* mime) {
        const QPoint at = view->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &dropped);
        delete mime;
        return dropped.isAccepted();
    };
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("a.mp4"))),
                    QUrl::fromLocalFile(QString::fromStdString(dir.path())),
                    QUrl::fromLocalFile(QString::fromStdString(dir.file("gone.mp4"))),
                    QUrl("https://example.com/b.mp4")});
    EXPECT_TRUE(drop(files));
    EXPECT_EQ(gState.receives, 1);
    EXPECT_EQ(gState.attributes, 0u);
    ASSERT_EQ(gState.dragged.size(), 4u);
    EXPECT_TRUE(gState.dragged[0].hasFlavor);
    EXPECT_EQ(gState.dragged[0].fileType, 0u);
    EXPECT_EQ(gState.dragged[0].path, dir.file("a.mp4"));
    EXPECT_TRUE(gState.dragged[1].hasFlavor);
    EXPECT_EQ(gState.dragged[1].fileType, kContainerFolderAliasType);
    EXPECT_FALSE(gState.dragged[2].hasFlavor);
    EXPECT_FALSE(gState.dragged[3].hasFlavor);

    // Rows dragged out of the list come back marked; a refused drag is never dropped.
    AddItems({"a"});
    gState.acceptDrags = false;
    EXPECT_FALSE(drop(view->model()->mimeData({view->model()->index(0, 0)})));
    EXPECT_EQ(gState.attributes & kDragInsideSenderWindow, kDragInsideSenderWindow);
    EXPECT_EQ(gState.receives, 1);

    // The drag's source is told what the receive callback answered.
    gState.acceptDrags = true;
    gState.takeDrops = false;
    auto* again = new QMimeData;
    again->setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("a.mp4")))});
    EXPECT_FALSE(drop(again));
    EXPECT_EQ(gState.receives, 2);
}

TEST(FileIcons, AreKeptByKindSoOnlyTheFirstFileOfAKindIsLookedAt) {
    mp4test::TempDir dir;
    mp4test::writeFile(dir.file("a.mp4"), {1});
    FSRef a, b;
    ASSERT_EQ(FSPathMakeRef(dir.file("a.mp4").c_str(), &a), kNoErr);
    ASSERT_EQ(FSPathMakeRef(dir.file("a.mp4").c_str(), &b), kNoErr);
    b.path = dir.file("gone.MP4");
    IconRef first, second;
    ASSERT_EQ(GetIconRefFromFile(&a, &first), 0);
    EXPECT_FALSE(first.isNull());
    ASSERT_EQ(GetIconRefFromFile(&b, &second), 0);
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
}

TEST(OpenFile, AsksTheDesktopForTheFilesCurrentPlace) {
    mp4test::TempDir dir;
    mp4test::writeFile(dir.file("a.mp4"), {1});
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(dir.file("a.mp4").c_str(), &ref), kNoErr);
    ASSERT_EQ(std::rename(dir.file("a.mp4").c_str(), dir.file("b.mp4").c_str()), 0);
    std::vector<QUrl> opened;
    bool works = true;
    SetURLOpener([&](const QUrl& url) {
        opened.push_back(url);
        return works;
    });
    EXPECT_EQ(LSOpenFSRef(&ref), 0);
    works = false;
    EXPECT_EQ(LSOpenFSRef(&ref), kLSApplicationNotFoundErr);
    SetURLOpener({});
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(dir.file("b.mp4"))));
}

}  // namespace
