// SPDX-License-Identifier: GPL-3.0-or-later
// listmodel.cpp - the list control's order: the proxy's sort by the compare callback, and the
// model's adding and removal of items as the view shows them.
#include "toolkit/listmodel.h"

#include <QItemSelectionModel>
#include <QScrollBar>

// The proxy

ListProxy::ListProxy(ListModel* model) : QSortFilterProxyModel(model), model_(model) {
    setDynamicSortFilter(false);
    setSourceModel(model);
}

void ListProxy::SortBy(int column, Qt::SortOrder order) {
    sorting_ = true;
    sort(column, order);
    sorting_ = false;
}

void ListProxy::HoldOrder(const std::vector<DataBrowserItemID>& shown) {
    heldRank_.assign(model_->items_.size(), 0);
    for (size_t rank = 0; rank < shown.size(); ++rank) {
        const int row = model_->ModelRowOf(shown[rank]);
        if (row >= 0) heldRank_[size_t(row)] = int(rank);
    }
    holding_ = true;
}

void ListProxy::ReleaseOrder() {
    // The proxy sorts the rows of a reset model when it is first asked about them.
    (void)rowCount();
    holding_ = false;
    heldRank_.clear();
}

// Qt sorts a decreasing order by asking whether the right row is less than the left one.
bool ListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return sortOrder() == Qt::DescendingOrder ? Before(right.row(), left.row())
                                              : Before(left.row(), right.row());
}

// Whether the model's row `one` is shown above row `two`. Qt's sort starts from the order shown
// before it: items that compare equal are put in the order of adding here, in either order, so
// that no earlier sort shows through.
bool ListProxy::Before(int one, int two) const {
    if (holding_) return heldRank_[size_t(one)] < heldRank_[size_t(two)];
    const DataBrowserItemCompareProcPtr compare = model_->callbacks_.itemCompareCallback;
    // Outside a sort Qt only orders rows just added among themselves: they stay in the order of
    // adding until the list sorts them.
    if (!sorting_ || !compare) return one < two;
    QTreeView* view = model_->view_;
    const DataBrowserPropertyID property = model_->sortProperty_;
    const bool decreasing = sortOrder() == Qt::DescendingOrder;
    const auto sortsFirst = [&](int x, int y) {
        const DataBrowserItemID itemX = model_->items_[size_t(x)];
        const DataBrowserItemID itemY = model_->items_[size_t(y)];
        return decreasing ? compare(view, itemY, itemX, property)
                          : compare(view, itemX, itemY, property);
    };
    // Only an item added earlier needs the second question: whether it ties.
    return sortsFirst(one, two) || (one < two && !sortsFirst(two, one));
}

Qt::ItemFlags ListProxy::flags(const QModelIndex& index) const {
    return index.isValid() ? model_->ColumnFlags(index.column()) : Qt::ItemIsDropEnabled;
}

// The model answers all the roles of a cell from one question to the item-data callback.
void ListProxy::multiData(const QModelIndex& index, QModelRoleDataSpan roles) const {
    model_->multiData(mapToSource(index), roles);
}

// The dragged items in the order shown.
QMimeData* ListProxy::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<DataBrowserItemID> items;
    items.reserve(rows.size());
    for (int row : rows) items.push_back(model_->ItemAt(row));
    return model_->RowsMimeData(items);
}

// The model

ListModel::ListModel(QTreeView* view, const QStringList& columns, const QStringList& titles,
                     const QStringList& editable)
    : QAbstractItemModel(view), view_(view), titles_(titles) {
    for (const QString& column : columns) {
        const QByteArray code = column.toLatin1().leftJustified(4, ' ', true);
        columns_.push_back(PackFourCharCode(code.constData()));
        editable_.push_back(editable.contains(column));
    }
    proxy_ = new ListProxy(this);
}

std::vector<int> ListModel::RowsOf(uint32_t count, const DataBrowserItemID* items) const {
    std::vector<int> rows;
    rows.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const int row = RowOf(items[i]);
        if (row >= 0) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<DataBrowserItemID> ListModel::Shown() const {
    std::vector<DataBrowserItemID> shown;
    shown.reserve(items_.size());
    for (int row = 0; row < Count(); ++row) shown.push_back(ItemAt(row));
    return shown;
}

void ListModel::Sort() {
    ++sortPass_;
    const int column = callbacks_.itemCompareCallback ? ColumnOf(sortProperty_) : -1;
    const bool decreasing = column >= 0 && sortOrder_ == kDataBrowserOrderDecreasing;
    proxy_->SortBy(column, decreasing ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ListModel::Add(uint32_t count, const DataBrowserItemID* items) {
    const int first = Count();
    rowOf_.reserve(items_.size() + count);
    beginInsertRows({}, first, first + int(count) - 1);
    for (uint32_t i = 0; i < count; ++i) {
        rowOf_[items[i]] = Count();
        items_.push_back(items[i]);
    }
    endInsertRows();
    if (sortProperty_ != kDataBrowserItemNoProperty) Sort();
}

// First and last of each run of neighbouring numbers, ascending.
static std::vector<std::pair<int, int>> Runs(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    std::vector<std::pair<int, int>> runs;
    for (int row : rows) {
        if (!runs.empty() && runs.back().second == row - 1)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    }
    return runs;
}

void ListModel::RemoveItems(const std::unordered_set<DataBrowserItemID>& gone) {
    std::vector<int> rows;   // in the model
    std::vector<int> shown;  // in the view
    for (DataBrowserItemID item : gone) {
        const int row = ModelRowOf(item);
        if (row < 0) continue;
        rows.push_back(row);
        shown.push_back(proxy_->mapFromSource(index(row, 0)).row());
    }
    if (rows.empty()) return;
    // Each removal from the model is one or more from the view, one for each run of its rows
    // there; an open editor is closed only when its own row goes.
    const std::vector<std::pair<int, int>> ranges = Runs(std::move(rows));
    if (editor_ || (ranges.size() <= kFewRanges && Runs(std::move(shown)).size() <= kFewRanges)) {
        for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
            beginRemoveRows({}, range->first, range->second);
            const auto first = items_.begin() + range->first;
            const auto last = items_.begin() + range->second + 1;
            for (auto item = first; item != last; ++item) rowOf_.erase(*item);
            items_.erase(first, last);
            NumberRowsFrom(size_t(range->first));
            endRemoveRows();
        }
        return;
    }
    ResetWithout(gone);
}

void ListModel::ResetWithout(const std::unordered_set<DataBrowserItemID>& gone) {
    QItemSelectionModel* selection = view_->selectionModel();
    std::unordered_set<DataBrowserItemID> selected;
    bool selectionShrinks = false;
    for (const QItemSelectionRange& range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const DataBrowserItemID item = ItemAt(row);
            if (gone.count(item))
                selectionShrinks = true;
            else
                selected.insert(item);
        }
    }
    // The current row goes to the first row after it that stays, as a removal moves it.
    const QModelIndex current = selection->currentIndex();
    DataBrowserItemID currentItem = kDataBrowserNoItem;
    const int currentColumn = current.isValid() ? current.column() : 0;
    if (current.isValid()) {
        for (int row = current.row(); row < Count(); ++row) {
            if (!gone.count(ItemAt(row))) {
                currentItem = ItemAt(row);
                break;
            }
        }
    }
    const int vertical = view_->verticalScrollBar()->value();
    const int horizontal = view_->horizontalScrollBar()->value();

    ResetKeepingOrder([&] {
        const auto isGone = [&](DataBrowserItemID item) { return gone.count(item) > 0; };
        const auto first = std::find_if(items_.begin(), items_.end(), isGone);
        const size_t renumbered = size_t(first - items_.begin());
        items_.erase(std::remove_if(first, items_.end(), isGone), items_.end());
        for (DataBrowserItemID item : gone) rowOf_.erase(item);
        NumberRowsFrom(renumbered);
    });

    if (currentItem != kDataBrowserNoItem)
        selection->setCurrentIndex(ViewIndex(RowOf(currentItem), currentColumn),
                                   QItemSelectionModel::NoUpdate);
    const std::vector<DataBrowserItemID> stay(selected.begin(), selected.end());
    const int lastColumn = columnCount() - 1;
    QItemSelection kept;
    for (const auto& [first, last] : Runs(RowsOf(uint32_t(stay.size()), stay.data())))
        kept.append(QItemSelectionRange(ViewIndex(first, 0), ViewIndex(last, lastColumn)));
    if (!kept.isEmpty()) selection->select(kept, QItemSelectionModel::Select);
    view_->verticalScrollBar()->setValue(vertical);
    view_->horizontalScrollBar()->setValue(horizontal);
    // A reset clears the selection without a word; the list is told that it changed.
    if (selectionShrinks && kept.isEmpty())
        Notify(kDataBrowserNoItem, kDataBrowserSelectionSetChanged);
}

void ListModel::RemoveAll() {
    const std::vector<DataBrowserItemID> gone = items_;
    beginResetModel();
    items_.clear();
    rowOf_.clear();
    endResetModel();
    for (DataBrowserItemID item : gone) Notify(item, kDataBrowserItemRemoved);
}

void ListModel::SetCallbacks(const DataBrowserCallbacks& callbacks) {
    ResetKeepingOrder([&] { callbacks_ = callbacks; });
}
