// listcontrol.cpp - the list control on a QTreeView: a model of item IDs that asks the callbacks
// for everything, the view's signals turned into notifications, file drags, file icons.
#include "toolkit/listcontrol.h"

#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <QAbstractItemModel>
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

// Rows dragged out of a list carry this format: the process and the list they came from, so that
// a drop can tell them from files.
static const QString kRowsMimeType = QStringLiteral("application/x-moviestick-list-rows");

struct DragRec {
    struct Item {
        bool hasFileFlavor = false;
        HFSFlavor flavor;
    };
    DragAttributes attributes = 0;
    std::vector<Item> items;
};

// ---- The model ------------------------------------------------------------------------------

namespace {

class ListModel final : public QAbstractItemModel {
public:
    ListModel(QTreeView* view, const QStringList& columns, const QStringList& titles,
              const QStringList& editable)
        : QAbstractItemModel(view), view_(view), titles_(titles) {
        for (const QString& column : columns) {
            const QByteArray code = column.toLatin1().leftJustified(4, ' ', true);
            columns_.push_back(OSType(uint8_t(code[0])) << 24 | OSType(uint8_t(code[1])) << 16 |
                               OSType(uint8_t(code[2])) << 8 | OSType(uint8_t(code[3])));
            editable_.push_back(editable.contains(column));
        }
    }

    QTreeView* view_;
    std::vector<OSType> columns_;
    std::vector<bool> editable_;
    QStringList titles_;
    DataBrowserCallbacks callbacks_;
    std::vector<DataBrowserItemID> rows_;   // display order
    std::vector<DataBrowserItemID> added_;  // order of adding
    std::unordered_set<DataBrowserItemID> listed_;
    DataBrowserPropertyID sortProperty_ = kDataBrowserItemNoProperty;
    DataBrowserSortOrder sortOrder_ = kDataBrowserOrderIncreasing;
    uint32_t sortPass_ = 0;
    bool dragAccepted_ = false;
    const QObject* editor_ = nullptr;  // the open title editor, compared by address only
    DataBrowserItemID editedItem_ = kDataBrowserNoItem;

    void Notify(DataBrowserItemID item, DataBrowserItemNotification message) {
        if (callbacks_.itemNotificationCallback)
            callbacks_.itemNotificationCallback(view_, item, message);
    }

    DataBrowserItemDataRec AskCell(DataBrowserItemID item, DataBrowserPropertyID property) const {
        DataBrowserItemDataRec cell;
        if (callbacks_.itemDataCallback)
            (void)callbacks_.itemDataCallback(view_, item, property, &cell, false);
        return cell;
    }

    int ColumnOf(DataBrowserPropertyID property) const {
        const auto found = std::find(columns_.begin(), columns_.end(), property);
        return found == columns_.end() ? -1 : int(found - columns_.begin());
    }

    int RowOf(DataBrowserItemID item) const {
        const auto found = std::find(rows_.begin(), rows_.end(), item);
        return found == rows_.end() ? -1 : int(found - rows_.begin());
    }

    // The rows of the given items, in ascending order; IDs that are not listed are left out.
    std::vector<int> RowsOf(uint32_t count, const DataBrowserItemID* items) const {
        const std::unordered_set<DataBrowserItemID> wanted(items, items + count);
        std::vector<int> found;
        for (size_t row = 0; row < rows_.size(); ++row)
            if (wanted.count(rows_[row])) found.push_back(int(row));
        return found;
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (parent.isValid() || row < 0 || row >= int(rows_.size()) || column < 0 ||
            column >= int(columns_.size()))
            return {};
        return createIndex(row, column);
    }
    QModelIndex parent(const QModelIndex&) const override { return {}; }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(columns_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const DataBrowserItemID item = rows_[size_t(index.row())];
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
            case Qt::ToolTipRole: {
                const DataBrowserItemDataRec cell = AskCell(item, columns_[size_t(index.column())]);
                if (!cell.hasText) return {};
                return cell.text;
            }
            case Qt::DecorationRole: {
                const DataBrowserItemDataRec cell = AskCell(item, columns_[size_t(index.column())]);
                if (cell.icon.isNull()) return {};
                return cell.icon;
            }
            default:
                return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || role != Qt::EditRole || !callbacks_.itemDataCallback) return false;
        DataBrowserItemDataRec cell;
        cell.text = value.toString();
        cell.hasText = true;
        const DataBrowserItemID item = rows_[size_t(index.row())];
        (void)callbacks_.itemDataCallback(view_, item, columns_[size_t(index.column())], &cell,
                                          true);
        // The callback may have moved or removed rows; the item is looked for again.
        const int row = RowOf(item);
        if (row >= 0) emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::ItemIsDropEnabled;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
                              Qt::ItemNeverHasChildren;
        if (editable_[size_t(index.column())]) flags |= Qt::ItemIsEditable;
        return flags;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= int(columns_.size()))
            return {};
        if (role == Qt::DisplayRole)
            return section < titles_.size() ? titles_[section]
                                            : FourCharCodeString(columns_[section]);
        // A column chosen anew is sorted in the list's present order, as the one order applies to
        // whichever column sorts.
        if (role == Qt::InitialSortOrderRole)
            return sortOrder_ == kDataBrowserOrderDecreasing ? Qt::DescendingOrder
                                                             : Qt::AscendingOrder;
        return {};
    }

    QStringList mimeTypes() const override { return {kRowsMimeType}; }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    QMimeData* mimeData(const QModelIndexList& indexes) const override {
        QByteArray marker =
            QByteArray::number(qint64(getpid())) + ' ' + QByteArray::number(quintptr(view_), 16);
        std::vector<int> rows;
        for (const QModelIndex& index : indexes) rows.push_back(index.row());
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        for (int row : rows) marker += ' ' + QByteArray::number(rows_[size_t(row)]);
        auto* mime = new QMimeData;
        mime->setData(kRowsMimeType, marker);
        return mime;
    }

    // Sorts from the order of adding, so that items that compare equal keep that order.
    void Sort() {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        ++sortPass_;
        std::vector<DataBrowserItemID> sorted = added_;
        const DataBrowserItemCompareProcPtr compare = callbacks_.itemCompareCallback;
        const DataBrowserPropertyID property = sortProperty_;
        if (property != kDataBrowserItemNoProperty && compare) {
            QTreeView* view = view_;
            if (sortOrder_ == kDataBrowserOrderDecreasing)
                std::stable_sort(sorted.begin(), sorted.end(),
                                 [&](DataBrowserItemID a, DataBrowserItemID b) {
                                     return compare(view, b, a, property);
                                 });
            else
                std::stable_sort(sorted.begin(), sorted.end(),
                                 [&](DataBrowserItemID a, DataBrowserItemID b) {
                                     return compare(view, a, b, property);
                                 });
        }
        std::unordered_map<DataBrowserItemID, int> newRow;
        newRow.reserve(sorted.size());
        for (size_t row = 0; row < sorted.size(); ++row) newRow[sorted[row]] = int(row);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before)
            after.append(createIndex(newRow[rows_[size_t(index.row())]], index.column()));
        rows_ = std::move(sorted);
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    void Add(uint32_t count, const DataBrowserItemID* items) {
        const int first = int(rows_.size());
        beginInsertRows({}, first, first + int(count) - 1);
        for (uint32_t i = 0; i < count; ++i) {
            rows_.push_back(items[i]);
            added_.push_back(items[i]);
            listed_.insert(items[i]);
        }
        endInsertRows();
        if (sortProperty_ != kDataBrowserItemNoProperty) Sort();
    }

    void RemoveRow(int row) {
        const DataBrowserItemID item = rows_[size_t(row)];
        beginRemoveRows({}, row, row);
        rows_.erase(rows_.begin() + row);
        added_.erase(std::find(added_.begin(), added_.end(), item));
        listed_.erase(item);
        endRemoveRows();
    }

    void RemoveAll() {
        const std::vector<DataBrowserItemID> gone = added_;
        beginResetModel();
        rows_.clear();
        added_.clear();
        listed_.clear();
        endResetModel();
        for (DataBrowserItemID item : gone) Notify(item, kDataBrowserItemRemoved);
    }

    void SetCallbacks(const DataBrowserCallbacks& callbacks) {
        beginResetModel();
        callbacks_ = callbacks;
        endResetModel();
    }

    void EditStopped(const QObject* editor) {
        if (!editor_ || editor_ != editor) return;
        editor_ = nullptr;
        Notify(std::exchange(editedItem_, kDataBrowserNoItem), kDataBrowserEditStopped);
    }
};

ListModel* ModelOf(ControlRef browser) {
    auto* view = qobject_cast<QTreeView*>(browser);
    return view ? dynamic_cast<ListModel*>(view->model()) : nullptr;
}

// Edits only cells the item-data callback agrees to, and reports the edit's start and end.
class ListDelegate final : public QStyledItemDelegate {
public:
    ListDelegate(ListModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (!model_ || !index.isValid()) return nullptr;
        const DataBrowserItemID item = model_->rows_[size_t(index.row())];
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
        const QModelIndex cell =
            model_->index(current.row(), int(editable - model_->editable_.begin()));
        view->setCurrentIndex(cell);
        view->edit(cell);
        return true;
    }

    DragRec MakeDrag(const QDropEvent* event) const {
        DragRec drag;
        const QMimeData* mime = event->mimeData();
        auto* source = qobject_cast<QWidget*>(event->source());
        if (source) drag.attributes |= kDragInsideSenderApplication;
        if (source && source->window() == model_->view_->window())
            drag.attributes |= kDragInsideSenderWindow;
        if (mime->hasFormat(kRowsMimeType)) {
            const QList<QByteArray> words = mime->data(kRowsMimeType).split(' ');
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
        // The drop is taken before its items are added: adding thousands of movies must not keep
        // the dragging application waiting.
        Accept(event);
        DragRec drag = MakeDrag(event);
        (void)receive(model_->view_, &drag, kDataBrowserNoItem);
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

// ---- Making the control ---------------------------------------------------------------------

void MakeListControl(QTreeView* view) {
    const QStringList columns = view->property("columns").toStringList();
    if (view->model() || columns.isEmpty()) return;
    auto* model = new ListModel(view, columns, view->property("columnTitles").toStringList(),
                                view->property("editableColumns").toStringList());
    // The list sorts itself through its callbacks, not through Qt's sorting.
    view->setSortingEnabled(false);
    view->setModel(model);
    view->setItemDelegate(new ListDelegate(model, view));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::SelectedClicked);
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
        if (i.isValid())
            model->Notify(model->rows_[size_t(i.row())], kDataBrowserItemDoubleClicked);
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

// ---- Cells ----------------------------------------------------------------------------------

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

// ---- Drags ----------------------------------------------------------------------------------

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

// ---- Callbacks ------------------------------------------------------------------------------

OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks) {
    if (!callbacks || callbacks->version != kDataBrowserLatestCallbacks) return kParamErr;
    *callbacks = DataBrowserCallbacks{};
    return 0;
}

OSStatus SetDataBrowserCallbacks(ControlRef browser, const DataBrowserCallbacks* callbacks) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (!callbacks || callbacks->version != kDataBrowserLatestCallbacks) return kParamErr;
    model->SetCallbacks(*callbacks);
    return 0;
}

// ---- Items ----------------------------------------------------------------------------------

OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, uint32_t numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem || (numItems > 0 && !items)) return kParamErr;
    if (numItems == 0) return 0;
    std::unordered_set<DataBrowserItemID> batch;
    for (uint32_t i = 0; i < numItems; ++i)
        if (items[i] == kDataBrowserNoItem || model->listed_.count(items[i]) ||
            !batch.insert(items[i]).second)
            return kErrDataBrowserItemNotAdded;
    model->Add(numItems, items);
    QPointer<ListModel> guard = model;
    for (uint32_t i = 0; i < numItems && guard; ++i) model->Notify(items[i], kDataBrowserItemAdded);
    return 0;
}

OSStatus RemoveDataBrowserItems(ControlRef browser, DataBrowserItemID container, uint32_t numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem) return kParamErr;
    if (numItems == 0 || !items) {
        model->RemoveAll();
        return 0;
    }
    QPointer<ListModel> guard = model;
    for (uint32_t i = 0; i < numItems && guard; ++i) {
        const int row = model->RowOf(items[i]);
        if (row < 0) return kErrDataBrowserItemNotFound;
        model->RemoveRow(row);
        model->Notify(items[i], kDataBrowserItemRemoved);
    }
    return 0;
}

OSStatus UpdateDataBrowserItems(ControlRef browser, DataBrowserItemID container, uint32_t numItems,
                                const DataBrowserItemID* items, DataBrowserPropertyID,
                                DataBrowserPropertyID property) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem) return kParamErr;
    int firstColumn = 0;
    int lastColumn = model->columnCount() - 1;
    if (property != kDataBrowserItemNoProperty) {
        firstColumn = lastColumn = model->ColumnOf(property);
        if (firstColumn < 0) return kParamErr;
    }
    if (model->rows_.empty()) return 0;
    int firstRow = 0;
    int lastRow = model->rowCount() - 1;
    if (numItems > 0 && items) {
        const std::vector<int> rows = model->RowsOf(numItems, items);
        if (rows.empty()) return 0;
        firstRow = rows.front();
        lastRow = rows.back();
    }
    emit model->dataChanged(model->index(firstRow, firstColumn), model->index(lastRow, lastColumn));
    return 0;
}

// The selected rows, ascending, each once.
static std::vector<int> SelectedRows(const ListModel* model) {
    std::vector<int> rows;
    const QItemSelection selection = model->view_->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection)
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

OSStatus GetDataBrowserItems(ControlRef browser, DataBrowserItemID container, bool,
                             DataBrowserItemState state, std::vector<DataBrowserItemID>* items) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem || !items) return kParamErr;
    if (state == kDataBrowserItemIsSelected) {
        for (int row : SelectedRows(model)) items->push_back(model->rows_[size_t(row)]);
    } else if (state == kDataBrowserItemAnyState) {
        items->insert(items->end(), model->rows_.begin(), model->rows_.end());
    } else {
        return kParamErr;
    }
    return 0;
}

OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, bool,
                                 DataBrowserItemState state, uint32_t* count) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem || !count) return kParamErr;
    if (state == kDataBrowserItemIsSelected)
        *count = uint32_t(SelectedRows(model).size());
    else if (state == kDataBrowserItemAnyState)
        *count = uint32_t(model->rows_.size());
    else
        return kParamErr;
    return 0;
}

OSStatus SetDataBrowserSelectedItems(ControlRef browser, uint32_t numItems,
                                     const DataBrowserItemID* items,
                                     DataBrowserSetOption operation) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (numItems > 0 && !items) return kParamErr;
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Rows;
    switch (operation) {
        case kDataBrowserItemsAdd:
            flags |= QItemSelectionModel::Select;
            break;
        case kDataBrowserItemsAssign:
            flags |= QItemSelectionModel::ClearAndSelect;
            break;
        case kDataBrowserItemsToggle:
            flags |= QItemSelectionModel::Toggle;
            break;
        case kDataBrowserItemsRemove:
            flags |= QItemSelectionModel::Deselect;
            break;
        default:
            return kParamErr;
    }
    // Neighbouring rows become one range: selecting every row is one range, not thousands.
    QItemSelection selection;
    const std::vector<int> rows = model->RowsOf(numItems, items);
    const int lastColumn = model->columnCount() - 1;
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
        selection.append(
            QItemSelectionRange(model->index(rows[i], 0), model->index(rows[j], lastColumn)));
        i = j + 1;
    }
    model->view_->selectionModel()->select(selection, flags);
    return 0;
}

bool IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item) {
    ListModel* model = ModelOf(browser);
    if (!model) return false;
    const int row = model->RowOf(item);
    return row >= 0 && model->view_->selectionModel()->isRowSelected(row, {});
}

OSStatus GetDataBrowserTableViewItemRow(ControlRef browser, DataBrowserItemID item, uint32_t* row) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    const int found = model->RowOf(item);
    if (found < 0) return kErrDataBrowserItemNotFound;
    if (row) *row = uint32_t(found);
    return 0;
}

OSStatus GetDataBrowserTableViewItemID(ControlRef browser, uint32_t row, DataBrowserItemID* item) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (row >= model->rows_.size()) return kErrDataBrowserItemNotFound;
    if (item) *item = model->rows_[row];
    return 0;
}

// ---- Order ----------------------------------------------------------------------------------

// The header shows what the model sorts by; told quietly, so that it does not sort again.
static void ShowSortInHeader(ListModel* model) {
    QHeaderView* header = model->view_->header();
    const QSignalBlocker blocker(header);
    header->setSortIndicator(model->ColumnOf(model->sortProperty_),
                             model->sortOrder_ == kDataBrowserOrderDecreasing ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder);
    header->viewport()->update();
}

OSStatus SetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID property) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (property != kDataBrowserItemNoProperty && model->ColumnOf(property) < 0) return kParamErr;
    model->sortProperty_ = property;
    ShowSortInHeader(model);
    model->Sort();
    return 0;
}

OSStatus GetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID* property) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (!property) return kParamErr;
    *property = model->sortProperty_;
    return 0;
}

OSStatus SetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder order) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (order != kDataBrowserOrderIncreasing && order != kDataBrowserOrderDecreasing)
        return kParamErr;
    model->sortOrder_ = order;
    ShowSortInHeader(model);
    if (model->sortProperty_ != kDataBrowserItemNoProperty) model->Sort();
    return 0;
}

OSStatus GetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder* order) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (!order) return kParamErr;
    *order = model->sortOrder_;
    return 0;
}

uint32_t GetDataBrowserSortPass(ControlRef browser) {
    const ListModel* model = ModelOf(browser);
    return model ? model->sortPass_ : 0;
}
