// SPDX-License-Identifier: GPL-3.0-or-later
// listview_fixture.h - the main window as the application makes it, with its movie list empty,
// alerts answered and recorded, and helpers to fill, drop on, select and read the list.
#pragma once

#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "movielist/listview.h"
#include "movielist/opening.h"
#include "movielist_fixture.h"
#include "shared/prefs.h"
#include "support/ui_windows.h"
#include "toolkit/gestalt.h"
#include "toolkit/launch.h"

class ListView : public MovieList {
protected:
    void SetUp() override {
        MovieList::SetUp();
        gPref = Preferences{};
        gPref.windowBounds = DefaultWindowBounds();
        gPref.filenameColumWidth = 200;
        gPref.titleColumWidth = 150;
        gPref.doubleClickAction = kDoubleClickOpensMovies;
        (void)Gestalt(kGestaltSystemVersion, &gSysVersion);
        gQuickTimeVersion = 0x07000000;
        gUpdateControl = nullptr;
        gEditTitleNow = false;
        SetAlertResponder([this](const AlertRecord& record) {
            alerts.push_back(record);
            const size_t asked = alerts.size();
            return asked <= answers.size() ? answers[asked - 1] : kAlertDefaultButton;
        });
        InstallNibMenuBar();
        InstallApplicationEventHandler(ApplicationHandler, nullptr);
        ASSERT_TRUE(DoPref());
        window = GetWindowTag(FrontWindow()) == kMainWindowTag ? FrontWindow() : nullptr;
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        browser = GetDataBrowserControl(nullptr);
        ASSERT_NE(browser, nullptr);
        view = ListControlView(browser);
        ASSERT_NE(view, nullptr);
        SettleEvents();
    }
    void TearDown() override {
        SetURLOpener({});
        DisposeAllWindows();
        gUpdateControl = nullptr;
        gEditTitleNow = false;
        MovieList::TearDown();
    }

    // Adds the files as one batch of the open-documents road and shows them.
    int16_t Open(const std::vector<std::string>& paths) {
        AppleEvent event{AppleEventKind::OpenDocuments, {}};
        for (const std::string& path : paths) event.files.append(QString::fromStdString(path));
        return AEOpenDoc(event, nullptr, 0);
    }

    // Movies named as given, with titles "Title of <name>", in a folder of the test.
    std::vector<std::string> Movies(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            paths.push_back(dir.file(name));
            const std::string title = "Title of " + name;
            WriteMovie(paths.back(), std::u16string(title.begin(), title.end()));
        }
        return paths;
    }

    std::vector<DataBrowserItemID> Rows(DataBrowserItemState state = kDataBrowserItemAnyState) {
        std::vector<DataBrowserItemID> items;
        EXPECT_EQ(GetDataBrowserItems(browser, 0, false, state, &items), 0);
        return items;
    }
    // The file-name cells from the top.
    std::vector<std::string> ShownNames() {
        std::vector<std::string> names;
        QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.push_back(model->index(row, 0).data().toString().toStdString());
        return names;
    }
    QString Cell(int row, int column) {
        return view->model()->index(row, column).data().toString();
    }

    // Types the text into the title cell of the first selected movie as a user does (F2,
    // Return) and lets the edit end; false when no editor opened.
    bool EditTitle(const QString& text) {
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        if (!selected.isEmpty())
            view->selectionModel()->setCurrentIndex(selected.first(),
                                                    QItemSelectionModel::NoUpdate);
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = view->viewport()->findChild<QLineEdit*>();
        if (!editor) return false;
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        SettleEvents();
        return true;
    }

    void Select(const std::vector<DataBrowserItemID>& items) {
        ASSERT_EQ(SetDataBrowserSelectedItems(browser, uint32_t(items.size()), items.data(),
                                              kDataBrowserItemsAssign),
                  0);
    }
    DataBrowserItemID IDOf(int index) { return Entry(index).itemID; }

    static QMimeData* FileDrag(const std::vector<std::string>& paths) {
        QList<QUrl> urls;
        for (const std::string& path : paths)
            urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        return mime;
    }
    // Drags the data over the list and drops it; true when the list took the drop.
    bool Drop(QMimeData* mime) {
        const QPoint at = view->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &drop);
        delete mime;
        return enter.isAccepted() && drop.isAccepted();
    }

    bool Active(int32_t control) { return IsControlActive(FindNibControl(window, control)); }

    mp4test::TempDir dir;
    WindowRef window = nullptr;
    ControlRef browser = nullptr;
    QTreeView* view = nullptr;
    std::vector<AlertRecord> alerts;
    std::vector<int> answers;  // the alerts' answers in turn; OK for any beyond them
};
