// listcontrol_test.cpp - the list control: rows by item ID, cells and order from the callbacks,
// selection, removal, editing, double clicks, drags, the contextual menu, icons, opening files.
#include "toolkit/listcontrol.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include "container/atom_builder.h"
#include "support/ui_windows.h"
#include "toolkit/launch.h"

namespace {

constexpr DataBrowserPropertyID kName = FourCharCode("FILE");
constexpr DataBrowserPropertyID kTitle = FourCharCode("TITL");

struct Notice {
    DataBrowserItemID item;
    DataBrowserItemNotification message;
};

struct DroppedItem {
    bool hasFlavor;
    OSType fileType;
    std::string path;
};

// What the callbacks answer with, and what they were told.
struct ListState {
    std::map<DataBrowserItemID, QString> names, titles;
    bool editable = true;
    std::vector<Notice> notices;
    std::vector<std::pair<DataBrowserItemID, QString>> edits;
    // Rows still listed when each removal was reported.
    std::vector<bool> listedWhenRemoved;
    bool acceptDrags = true;
    int accepts = 0, receives = 0;
    DragAttributes attributes = 0;
    std::vector<DroppedItem> dragged;
    QMenu* menu = nullptr;
    int menuAsks = 0;
    std::vector<uint16_t> chosen;
};
ListState gState;

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
    DragItemRef none = 0;
    EXPECT_EQ(GetDragItemReferenceNumber(drag, uint16_t(count + 1), &none), kBadDragItemErr);
}

OSStatus ItemData(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                  DataBrowserItemDataRef data, bool setValue) {
    if (property == kDataBrowserItemIsEditableProperty) {
        if (gState.editable) (void)SetDataBrowserItemDataBooleanValue(data, true);
    } else if (setValue) {
        QString text;
        EXPECT_EQ(GetDataBrowserItemDataText(data, &text), 0);
        gState.edits.emplace_back(item, text);
    } else if (property == kName) {
        (void)SetDataBrowserItemDataText(data, gState.names[item]);
    } else if (property == kTitle) {
        (void)SetDataBrowserItemDataText(data, gState.titles[item]);
    }
    return 0;
}

bool Compare(ControlRef, DataBrowserItemID a, DataBrowserItemID b, DataBrowserPropertyID property) {
    const auto& texts = property == kName ? gState.names : gState.titles;
    return texts.at(a) < texts.at(b);
}

void Notification(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message) {
    gState.notices.push_back({item, message});
    if (message == kDataBrowserItemRemoved)
        gState.listedWhenRemoved.push_back(GetDataBrowserTableViewItemRow(browser, item, nullptr) ==
                                           0);
}

bool AcceptDrag(ControlRef, DragRef drag, DataBrowserItemID) {
    ++gState.accepts;
    ReadDrag(drag);
    return gState.acceptDrags;
}

bool ReceiveDrag(ControlRef, DragRef drag, DataBrowserItemID) {
    ++gState.receives;
    ReadDrag(drag);
    return true;
}

void GetMenu(ControlRef, QMenu** menu, uint32_t*, QString*, std::vector<DataBrowserItemID>*) {
    ++gState.menuAsks;
    *menu = gState.menu;
}

void SelectMenu(ControlRef, QMenu*, uint32_t, int16_t, uint16_t item) {
    gState.chosen.push_back(item);
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
        callbacks.getContextualMenuCallback = GetMenu;
        callbacks.selectContextualMenuCallback = SelectMenu;
        ASSERT_EQ(SetDataBrowserCallbacks(list, &callbacks), 0);
    }
    void TearDown() override {
        SetURLOpener({});
        DisposeAllWindows();
    }

    // Items 1..n named and titled as given.
    void AddItems(const std::vector<std::pair<QString, QString>>& items) {
        std::vector<DataBrowserItemID> ids;
        for (const auto& [name, title] : items) {
            const auto id = DataBrowserItemID(gState.names.size() + 1);
            gState.names[id] = name;
            gState.titles[id] = title;
            ids.push_back(id);
        }
        ASSERT_EQ(AddDataBrowserItems(list, 0, uint32_t(ids.size()), ids.data(), 0), 0);
    }
    std::vector<DataBrowserItemID> Items(DataBrowserItemState state = kDataBrowserItemAnyState) {
        std::vector<DataBrowserItemID> items;
        EXPECT_EQ(GetDataBrowserItems(list, 0, false, state, &items), 0);
        return items;
    }
    uint32_t Count(DataBrowserItemState state) {
        uint32_t count = 99;
        EXPECT_EQ(GetDataBrowserItemCount(list, 0, false, state, &count), 0);
        return count;
    }
    std::vector<DataBrowserItemNotification> Told() const {
        std::vector<DataBrowserItemNotification> messages;
        for (const Notice& notice : gState.notices) messages.push_back(notice.message);
        return messages;
    }
    void Show() {
        ShowWindow(window);
        window->activateWindow();
        SettleEvents();
    }
    QPoint CenterOfRow(int row, int column = 0) {
        return view->visualRect(view->model()->index(row, column)).center();
    }

    WindowRef window = nullptr;
    ControlRef list = nullptr;
    QTreeView* view = nullptr;
};

using Ids = std::vector<DataBrowserItemID>;
using Messages = std::vector<DataBrowserItemNotification>;

TEST_F(ListControl, ItemsShowInTheOrderOfAddingWithCellsFromTheCallback) {
    AddItems({{"b.mp4", "Bee"}, {"a.mp4", ""}, {"c.mp4", "Sea"}});
    EXPECT_EQ(Items(), (Ids{1, 2, 3}));
    EXPECT_EQ(Count(kDataBrowserItemAnyState), 3u);
    EXPECT_EQ(Told(), (Messages{1, 1, 1}));
    EXPECT_EQ(gState.notices[2].item, 3u);

    QAbstractItemModel* model = view->model();
    EXPECT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "File Name");
    EXPECT_EQ(model->index(0, 0).data().toString(), "b.mp4");
    EXPECT_EQ(model->index(2, 1).data().toString(), "Sea");
    EXPECT_EQ(model->index(1, 1).data().toString(), "");
    // Only the title column takes edits.
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);

    // IDs listed already, repeated in one call, or 0 add nothing at all.
    const Ids again{4, 2};
    EXPECT_EQ(AddDataBrowserItems(list, 0, 2, again.data(), 0), kErrDataBrowserItemNotAdded);
    const Ids twice{5, 5};
    EXPECT_EQ(AddDataBrowserItems(list, 0, 2, twice.data(), 0), kErrDataBrowserItemNotAdded);
    const Ids zero{0};
    EXPECT_EQ(AddDataBrowserItems(list, 0, 1, zero.data(), 0), kErrDataBrowserItemNotAdded);
    EXPECT_EQ(AddDataBrowserItems(list, 7, 1, twice.data(), 0), kParamErr);  // no containers
    EXPECT_EQ(Items(), (Ids{1, 2, 3}));

    DataBrowserItemID item = 0;
    EXPECT_EQ(GetDataBrowserTableViewItemID(list, 2, &item), 0);
    EXPECT_EQ(item, 3u);
    EXPECT_EQ(GetDataBrowserTableViewItemID(list, 3, &item), kErrDataBrowserItemNotFound);

    // A widget that is no list control.
    uint32_t count = 0;
    EXPECT_EQ(GetDataBrowserItemCount(FindNibControl(window, 1), 0, false, kDataBrowserItemAnyState,
                                      &count),
              kErrDataBrowserNotConfigured);
}

TEST_F(ListControl, SortingFollowsTheHeaderOrTheCallsAndNoneRestoresTheOrderOfAdding) {
    AddItems({{"b", "2"}, {"c", "1"}, {"a", "3"}});
    const Ids middle{1};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 1, middle.data(), kDataBrowserItemsAssign), 0);

    const uint32_t pass = GetDataBrowserSortPass(list);
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    EXPECT_EQ(Items(), (Ids{3, 1, 2}));
    EXPECT_GT(GetDataBrowserSortPass(list), pass);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{1}));  // the selection moves with its item
    EXPECT_EQ(view->header()->sortIndicatorSection(), 0);

    ASSERT_EQ(SetDataBrowserSortOrder(list, kDataBrowserOrderDecreasing), 0);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));

    // A click on the other header sorts by it, keeping the decreasing order; a second click
    // turns the order round.
    Show();
    QHeaderView* header = view->header();
    const QPoint titleHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titleHeader);
    DataBrowserPropertyID property = 0;
    ASSERT_EQ(GetDataBrowserSortProperty(list, &property), 0);
    EXPECT_EQ(property, kTitle);
    EXPECT_EQ(Items(), (Ids{3, 1, 2}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, titleHeader);
    DataBrowserSortOrder order = 0;
    ASSERT_EQ(GetDataBrowserSortOrder(list, &order), 0);
    EXPECT_EQ(order, kDataBrowserOrderIncreasing);
    EXPECT_EQ(Items(), (Ids{2, 1, 3}));

    // New items go into their sorted places.
    AddItems({{"d", "0"}});
    EXPECT_EQ(Items(), (Ids{4, 2, 1, 3}));

    ASSERT_EQ(SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty), 0);
    EXPECT_EQ(Items(), (Ids{1, 2, 3, 4}));
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    EXPECT_EQ(SetDataBrowserSortProperty(list, FourCharCode("XXXX")), kParamErr);
}

TEST_F(ListControl, SelectionIsCountedAndListedInDisplayOrderAndReported) {
    AddItems({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}, {"e", ""}});
    gState.notices.clear();
    EXPECT_EQ(Count(kDataBrowserItemIsSelected), 0u);
    EXPECT_TRUE(Items(kDataBrowserItemIsSelected).empty());

    const Ids some{4, 2, 5};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 3, some.data(), kDataBrowserItemsAssign), 0);
    EXPECT_EQ(Count(kDataBrowserItemIsSelected), 3u);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{2, 4, 5}));
    EXPECT_TRUE(IsDataBrowserItemSelected(list, 4));
    EXPECT_FALSE(IsDataBrowserItemSelected(list, 3));
    ASSERT_FALSE(gState.notices.empty());
    EXPECT_EQ(gState.notices.back().message, kDataBrowserSelectionSetChanged);

    const Ids four{4, 3};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 2, four.data(), kDataBrowserItemsToggle), 0);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{2, 3, 5}));
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 1, four.data() + 1, kDataBrowserItemsRemove), 0);
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{2, 5}));
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 0, nullptr, kDataBrowserItemsAssign), 0);
    EXPECT_EQ(Count(kDataBrowserItemIsSelected), 0u);

    // A click selects its row.
    Show();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CenterOfRow(2));
    EXPECT_EQ(Items(kDataBrowserItemIsSelected), (Ids{3}));
}

TEST_F(ListControl, RemovalReportsEachItemOnceItHasLeftTheRows) {
    AddItems({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}});
    gState.notices.clear();
    const Ids two{3, 1};
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, 2, two.data(), 0), 0);
    EXPECT_EQ(Items(), (Ids{2, 4}));
    ASSERT_EQ(gState.notices.size(), 2u);
    EXPECT_EQ(gState.notices[0].item, 3u);
    EXPECT_EQ(gState.notices[1].item, 1u);
    EXPECT_EQ(gState.listedWhenRemoved, (std::vector<bool>{false, false}));

    // The order of adding forgets the removed items too.
    ASSERT_EQ(SetDataBrowserSortProperty(list, kName), 0);
    ASSERT_EQ(SetDataBrowserSortProperty(list, 0), 0);
    EXPECT_EQ(Items(), (Ids{2, 4}));

    const Ids unknown{2, 9, 4};
    EXPECT_EQ(RemoveDataBrowserItems(list, 0, 3, unknown.data(), 0), kErrDataBrowserItemNotFound);
    EXPECT_EQ(Items(), (Ids{4}));  // the items before the unknown one are gone

    // A removed ID may be added again.
    const Ids back{2};
    EXPECT_EQ(AddDataBrowserItems(list, 0, 1, back.data(), 0), 0);
    gState.notices.clear();
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, 0, nullptr, 0), 0);
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(Told(), (Messages{2, 2}));
}

TEST_F(ListControl, F2EditsTheTitleCellAndTheEditIsReportedAndHandedToTheCallback) {
    AddItems({{"a.mp4", "Old"}, {"b.mp4", "Other"}});
    Show();
    const Ids second{2};
    ASSERT_EQ(SetDataBrowserSelectedItems(list, 1, second.data(), kDataBrowserItemsAssign), 0);
    view->setCurrentIndex(view->model()->index(1, 0));  // the file-name cell is current
    gState.notices.clear();

    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Other");
    EXPECT_EQ(Told(), (Messages{kDataBrowserEditStarted}));
    EXPECT_EQ(gState.notices[0].item, 2u);

    editor->selectAll();
    QTest::keyClicks(editor, "New");
    QTest::keyClick(editor, Qt::Key_Return);
    SettleEvents();
    ASSERT_EQ(gState.edits.size(), 1u);
    EXPECT_EQ(gState.edits[0], std::make_pair(DataBrowserItemID(2), QString("New")));
    ASSERT_EQ(gState.notices.size(), 2u);
    EXPECT_EQ(gState.notices[1].message, kDataBrowserEditStopped);

    // Escape ends the edit without a value.
    QTest::keyClick(view, Qt::Key_F2);
    editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    SettleEvents();
    EXPECT_EQ(gState.edits.size(), 1u);
    EXPECT_EQ(gState.notices.back().message, kDataBrowserEditStopped);

    // Removing the row during an edit ends it too.
    QTest::keyClick(view, Qt::Key_F2);
    ASSERT_NE(view->viewport()->findChild<QLineEdit*>(), nullptr);
    gState.notices.clear();
    ASSERT_EQ(RemoveDataBrowserItems(list, 0, 1, second.data(), 0), 0);
    SettleEvents();
    const Messages told = Told();
    EXPECT_EQ(std::count(told.begin(), told.end(), kDataBrowserEditStopped), 1);
}

TEST_F(ListControl, NothingIsEditedWhenTheCallbackSaysNo) {
    AddItems({{"a.mp4", "Old"}});
    Show();
    gState.editable = false;
    view->setCurrentIndex(view->model()->index(0, 1));
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_EQ(view->viewport()->findChild<QLineEdit*>(), nullptr);
    EXPECT_TRUE(gState.notices.empty() || gState.notices.back().message != kDataBrowserEditStarted);
}

TEST_F(ListControl, DoubleClickIsReportedForTheRowClicked) {
    AddItems({{"a", ""}, {"b", ""}});
    Show();
    gState.notices.clear();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CenterOfRow(1));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CenterOfRow(1));
    std::vector<DataBrowserItemID> clicked;
    for (const Notice& notice : gState.notices)
        if (notice.message == kDataBrowserItemDoubleClicked) clicked.push_back(notice.item);
    EXPECT_EQ(clicked, (Ids{2}));
    EXPECT_EQ(view->viewport()->findChild<QLineEdit*>(), nullptr);  // not an edit
}

class ListControlDrag : public ListControl {
protected:
    // Sends the drag's entry and, when `drop`, its drop; true when the drop was taken.
    bool Drag(QMimeData* mime, bool drop = true) {
        const QPoint at = view->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        EXPECT_EQ(move.isAccepted(), enter.isAccepted());
        if (!drop) return enter.isAccepted();
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &dropped);
        EXPECT_TRUE(!dropped.isAccepted() || dropped.dropAction() == Qt::CopyAction);
        return dropped.isAccepted();
    }
    mp4test::TempDir dir;
};

TEST_F(ListControlDrag, LocalFilesAndFoldersOfferTheFileFlavorOthersDoNot) {
    mp4test::writeFile(dir.file("a.mp4"), {1});
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("a.mp4"))),
                   QUrl::fromLocalFile(QString::fromStdString(dir.path())),
                   QUrl::fromLocalFile(QString::fromStdString(dir.file("gone.mp4"))),
                   QUrl("https://example.com/b.mp4")});
    EXPECT_TRUE(Drag(mime));
    EXPECT_EQ(gState.accepts, 1);
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
    delete mime;
}

TEST_F(ListControlDrag, RefusedDragsAndRowsOfTheListItselfAreNotDropped) {
    mp4test::writeFile(dir.file("a.mp4"), {1});
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.file("a.mp4")))});
    gState.acceptDrags = false;
    EXPECT_FALSE(Drag(&files));
    EXPECT_EQ(gState.accepts, 1);
    EXPECT_EQ(gState.receives, 0);

    // Rows dragged out of the list come back marked as inside their window.
    gState.acceptDrags = true;
    AddItems({{"a", ""}, {"b", ""}});
    QMimeData* rows = view->model()->mimeData({view->model()->index(1, 0)});
    ASSERT_NE(rows, nullptr);
    gState.acceptDrags = false;
    EXPECT_FALSE(Drag(rows));
    EXPECT_EQ(gState.attributes & kDragInsideSenderWindow, kDragInsideSenderWindow);
    EXPECT_EQ(gState.receives, 0);
    delete rows;

    // A drop without an entry first is not taken.
    QDropEvent dropped(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &dropped);
    EXPECT_FALSE(dropped.isAccepted());
    EXPECT_EQ(gState.receives, 0);
}

TEST_F(ListControl, ContextualMenuIsAskedForShownAndItsChoiceReported) {
    AddItems({{"a", ""}});
    Show();
    QMenu menu;
    menu.addAction("First");
    menu.addAction("Second");
    gState.menu = &menu;
    QTimer::singleShot(50, [] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        popup->setActiveAction(popup->actions()[1]);
        QTest::keyClick(popup, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, CenterOfRow(0),
                            view->viewport()->mapToGlobal(CenterOfRow(0)));
    QApplication::sendEvent(view->viewport(), &event);
    EXPECT_EQ(gState.menuAsks, 1);
    EXPECT_EQ(gState.chosen, (std::vector<uint16_t>{2}));

    // No menu: nothing is shown.
    gState.menu = nullptr;
    QContextMenuEvent again(QContextMenuEvent::Mouse, CenterOfRow(0),
                            view->viewport()->mapToGlobal(CenterOfRow(0)));
    QApplication::sendEvent(view->viewport(), &again);
    EXPECT_EQ(gState.menuAsks, 2);
    EXPECT_EQ(gState.chosen.size(), 1u);
}

TEST(FileIcons, AreKeptByKindSoTheFileIsLookedAtOnce) {
    mp4test::TempDir dir;
    mp4test::writeFile(dir.file("a.mp4"), {1});
    mp4test::writeFile(dir.file("b.MP4"), {1});
    FSRef a, b;
    ASSERT_EQ(FSPathMakeRef(dir.file("a.mp4").c_str(), &a), kNoErr);
    ASSERT_EQ(FSPathMakeRef(dir.file("b.MP4").c_str(), &b), kNoErr);
    IconRef first, second;
    ASSERT_EQ(GetIconRefFromFile(&a, &first), 0);
    EXPECT_FALSE(first.isNull());
    // The second file of the kind is not looked at: gone, it still has the kind's icon.
    std::remove(dir.file("b.MP4").c_str());
    ASSERT_EQ(GetIconRefFromFile(&b, &second), 0);
    EXPECT_EQ(first.cacheKey(), second.cacheKey());
    EXPECT_EQ(GetIconRefFromFile(nullptr, &first), kParamErr);
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
