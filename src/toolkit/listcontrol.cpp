// SPDX-License-Identifier: GPL-3.0-or-later
// listcontrol.cpp - the list control made from a QTreeView: edits, keys, drags and the contextual
// menu turned into callbacks and notifications; the drag and cell records; file icons.
#include "toolkit/listcontrol.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QUrl>

#include "toolkit/listmodel.h"

struct DragRec {
    struct Item {
        bool hasFileFlavor = false;
        HFSFlavor flavor;
    };
    DragAttributes attributes = 0;
    std::vector<Item> items;
};

namespace {

// Edits only cells the item-data callback agrees to, and reports the edit's start and end.
class ListDelegate final : public QStyledItemDelegate {
public:
    ListDelegate(ListModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (!model_ || !index.isValid()) return nullptr;
        const DataBrowserItemID item = model_->ItemAt(index.row());
        const DataBrowserItemDataRec answer =
            model_->AskCell(item, kDataBrowserItemIsEditableProperty);
        if (!answer.hasBooleanValue || !answer.booleanValue) return nullptr;
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (!editor) return nullptr;
        model_->editor_ = editor;
        model_->editedItem_ = item;
        // Also when the row goes away during the edit, which closes the editor without a call.
        QPointer<ListModel> model = model_.data();
        QObject::connect(editor, &QObject::destroyed, model_.data(), [model](QObject* gone) {
            if (model) model->EditStopped(gone);
        });
        model_->Notify(item, kDataBrowserEditStarted);
        return editor;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (model_) model_->EditStopped(editor);
        QStyledItemDelegate::destroyEditor(editor, index);
    }

private:
    QPointer<ListModel> model_;
};

// The keys and drags the view would otherwise handle itself.
class ListFilter final : public QObject {
public:
    ListFilter(ListModel* model) : QObject(model), model_(model) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool dragEvent = event->type() == QEvent::DragEnter ||
                               event->type() == QEvent::DragMove ||
                               event->type() == QEvent::DragLeave || event->type() == QEvent::Drop;
        // A drag the viewport refused travels on to the view, which must not take it either.
        if (dragEvent && watched != model_->view_->viewport()) {
            event->ignore();
            return true;
        }
        switch (event->type()) {
            case QEvent::KeyPress:
                if (watched == model_->view_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2)
                    return EditCurrentRow();
                return false;
            case QEvent::DragEnter:
                return DragEnter(static_cast<QDragEnterEvent*>(event));
            case QEvent::DragMove:
                return DragMove(static_cast<QDragMoveEvent*>(event));
            case QEvent::DragLeave:
                model_->dragAccepted_ = false;
                return true;
            case QEvent::Drop:
                return Drop(static_cast<QDropEvent*>(event));
            default:
                return false;
        }
    }

private:
    // F2 edits the row's editable cell, whichever cell of the row is current.
    bool EditCurrentRow() {
        QTreeView* view = model_->view_;
        QModelIndex current = view->currentIndex();
        if (!current.isValid()) {
            const QModelIndexList selected = view->selectionModel()->selectedRows();
            if (selected.isEmpty()) return true;
            current = selected.first();
        }
        const auto editable = std::find(model_->editable_.begin(), model_->editable_.end(), true);
        if (editable == model_->editable_.end()) return true;
        (void)OpenDataBrowserEditSession(
            view, model_->ItemAt(current.row()),
            model_->columns_[size_t(editable - model_->editable_.begin())]);
        return true;
    }

    DragRec MakeDrag(const QDropEvent* event) const {
        DragRec drag;
        const QMimeData* mime = event->mimeData();
        auto* source = qobject_cast<QWidget*>(event->source());
        if (source) drag.attributes |= kDragInsideSenderApplication;
        if (source && source->window() == model_->view_->window())
            drag.attributes |= kDragInsideSenderWindow;
        if (mime->hasFormat(kListRowsMimeType)) {
            const QList<QByteArray> words = mime->data(kListRowsMimeType).split(' ');
            if (words.size() >= 2 && words[0].toLongLong() == qint64(getpid())) {
                drag.attributes |= kDragInsideSenderApplication;
                bool ok = false;
                const quintptr list = words[1].toULongLong(&ok, 16);
                if (ok && list == quintptr(model_->view_))
                    drag.attributes |= kDragInsideSenderWindow;
            }
            for (qsizetype i = 2; i < words.size(); ++i) drag.items.emplace_back();
        }
        for (const QUrl& url : mime->urls()) {
            DragRec::Item item;
            if (url.isLocalFile()) {
                bool isFolder = false;
                const QByteArray path = url.toLocalFile().toUtf8();
                if (FSPathMakeRef(path.constData(), &item.flavor.fileSpec, &isFolder) == kNoErr) {
                    item.hasFileFlavor = true;
                    item.flavor.fileType = isFolder ? kContainerFolderAliasType : 0;
                }
            }
            drag.items.push_back(std::move(item));
        }
        // Dragged text or pictures are one item that is no file.
        if (drag.items.empty()) drag.items.emplace_back();
        return drag;
    }

    static void Accept(QDropEvent* event) {
        if (event->possibleActions() & Qt::CopyAction) event->setDropAction(Qt::CopyAction);
        event->accept();
    }

    bool DragEnter(QDragEnterEvent* event) {
        DragRec drag = MakeDrag(event);
        const auto accept = model_->callbacks_.acceptDragCallback;
        model_->dragAccepted_ = accept && accept(model_->view_, &drag, kDataBrowserNoItem);
        if (model_->dragAccepted_)
            Accept(event);
        else
            event->ignore();
        return true;
    }

    bool DragMove(QDragMoveEvent* event) {
        if (model_->dragAccepted_)
            Accept(event);
        else
            event->ignore();
        return true;
    }

    bool Drop(QDropEvent* event) {
        const bool accepted = std::exchange(model_->dragAccepted_, false);
        const auto receive = model_->callbacks_.receiveDragCallback;
        if (!accepted || !receive) {
            event->ignore();
            return true;
        }
        // The program the items came from learns whether they were taken, so it waits while
        // they are added.
        DragRec drag = MakeDrag(event);
        if (receive(model_->view_, &drag, kDataBrowserNoItem))
            Accept(event);
        else
            event->ignore();
        return true;
    }

    ListModel* model_;
};

void ShowContextualMenu(ListModel* model, const QPoint& position) {
    const auto get = model->callbacks_.getContextualMenuCallback;
    if (!get) return;
    QMenu* menu = nullptr;
    uint32_t helpType = 0;
    QString helpText;
    std::vector<DataBrowserItemID> selection;
    get(model->view_, &menu, &helpType, &helpText, &selection);
    if (!menu) return;
    QPointer<ListModel> guard = model;
    QAction* chosen = menu->exec(model->view_->viewport()->mapToGlobal(position));
    if (!chosen || !guard || !model->callbacks_.selectContextualMenuCallback) return;
    const int item = int(menu->actions().indexOf(chosen)) + 1;
    model->callbacks_.selectContextualMenuCallback(
        model->view_, menu, 0, int16_t(menu->property("menuID").toInt()), uint16_t(item));
}

}  // namespace

// Making the control

void MakeListControl(QTreeView* view) {
    const QStringList columns = view->property("columns").toStringList();
    if (view->model() || columns.isEmpty()) return;
    auto* model = new ListModel(view, columns, view->property("columnTitles").toStringList(),
                                view->property("editableColumns").toStringList());
    // A click in the headers sorts through the list's own sort property and order (below), which
    // the proxy's sort then follows, not through the view's sorting.
    view->setSortingEnabled(false);
    view->setModel(model->proxy_);
    view->setItemDelegate(new ListDelegate(model, view));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A click on a selected cell would start an edit after the double-click time, over one
    // that F2 opened meanwhile, and take the keys typed into it.
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setContextMenuPolicy(Qt::CustomContextMenu);

    QHeaderView* header = view->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    {
        const QSignalBlocker blocker(header);
        header->setSortIndicator(-1, Qt::AscendingOrder);
    }
    QObject::connect(
        header, &QHeaderView::sortIndicatorChanged, model,
        [model](int section, Qt::SortOrder order) {
            model->sortProperty_ = section >= 0 && section < int(model->columns_.size())
                                       ? model->columns_[size_t(section)]
                                       : kDataBrowserItemNoProperty;
            model->sortOrder_ = order == Qt::DescendingOrder ? kDataBrowserOrderDecreasing
                                                             : kDataBrowserOrderIncreasing;
            model->Sort();
        });
    QObject::connect(
        view->selectionModel(), &QItemSelectionModel::selectionChanged, model,
        [model] { model->Notify(kDataBrowserNoItem, kDataBrowserSelectionSetChanged); });
    QObject::connect(view, &QAbstractItemView::doubleClicked, model, [model](const QModelIndex& i) {
        if (i.isValid()) model->Notify(model->ItemAt(i.row()), kDataBrowserItemDoubleClicked);
    });
    QObject::connect(view, &QWidget::customContextMenuRequested, model,
                     [model](const QPoint& position) { ShowContextualMenu(model, position); });
    auto* filter = new ListFilter(model);
    view->installEventFilter(filter);
    view->viewport()->installEventFilter(filter);
}

QTreeView* ListControlView(ControlRef browser) {
    return ModelOf(browser) ? static_cast<QTreeView*>(browser) : nullptr;
}

// Cells

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString& text) {
    if (!itemData) return kParamErr;
    itemData->text = text;
    itemData->hasText = true;
    return 0;
}

OSStatus GetDataBrowserItemDataText(DataBrowserItemDataRef itemData, QString* text) {
    if (!itemData || !text || !itemData->hasText) return kParamErr;
    *text = itemData->text;
    return 0;
}

OSStatus SetDataBrowserItemDataIcon(DataBrowserItemDataRef itemData, const IconRef& icon) {
    if (!itemData) return kParamErr;
    itemData->icon = icon;
    return 0;
}

OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, bool value) {
    if (!itemData) return kParamErr;
    itemData->booleanValue = value;
    itemData->hasBooleanValue = true;
    return 0;
}

OSStatus SetDataBrowserItemDataGreyed(DataBrowserItemDataRef itemData, bool greyed) {
    if (!itemData) return kParamErr;
    itemData->greyed = greyed;
    return 0;
}

OSStatus GetIconRefFromFile(const FSRef* file, IconRef* icon) {
    if (!file || !file->valid || !icon) return kParamErr;
    const std::string& path = file->path;
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const QString kind = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                             ? QString::fromUtf8(path.substr(dot + 1)).toLower()
                             : QString();
    static QHash<QString, QIcon> icons;
    const auto found = icons.constFind(kind);
    if (found != icons.constEnd()) {
        *icon = *found;
        return 0;
    }
    const QFileIconProvider provider;
    QIcon made = provider.icon(QFileInfo(QString::fromUtf8(path)));
    if (made.isNull()) made = provider.icon(QAbstractFileIconProvider::File);
    icons.insert(kind, made);
    *icon = made;
    return 0;
}

// Drags

OSStatus GetDragAttributes(DragRef drag, DragAttributes* attributes) {
    if (!drag || !attributes) return kBadDragRefErr;
    *attributes = drag->attributes;
    return 0;
}

OSStatus CountDragItems(DragRef drag, uint16_t* count) {
    if (!drag || !count) return kBadDragRefErr;
    *count = uint16_t(std::min<size_t>(drag->items.size(), UINT16_MAX));
    return 0;
}

// Reference numbers are the items' numbers: a drag's items never change while it lasts.
OSStatus GetDragItemReferenceNumber(DragRef drag, uint16_t index, DragItemRef* item) {
    if (!drag || !item) return kBadDragRefErr;
    if (index < 1 || index > drag->items.size()) return kBadDragItemErr;
    *item = index;
    return 0;
}

static const DragRec::Item* FindFlavor(DragRef drag, DragItemRef item, FlavorType type,
                                       OSStatus* status) {
    *status = 0;
    if (!drag)
        *status = kBadDragRefErr;
    else if (item < 1 || item > drag->items.size())
        *status = kBadDragItemErr;
    else if (type != kDragFlavorTypeHFS || !drag->items[item - 1].hasFileFlavor)
        *status = kBadDragFlavorErr;
    return *status == 0 ? &drag->items[item - 1] : nullptr;
}

OSStatus GetFlavorFlags(DragRef drag, DragItemRef item, FlavorType type, FlavorFlags* flags) {
    OSStatus status = 0;
    if (!FindFlavor(drag, item, type, &status)) return status;
    if (flags) *flags = 0;
    return 0;
}

OSStatus GetFlavorData(DragRef drag, DragItemRef item, FlavorType type, HFSFlavor* data) {
    OSStatus status = 0;
    const DragRec::Item* found = FindFlavor(drag, item, type, &status);
    if (!found) return status;
    if (!data) return kParamErr;
    *data = found->flavor;
    return 0;
}
