// SPDX-License-Identifier: GPL-3.0-or-later
// listmodel.h - the list control's models: the items in the order of adding with their cells and
// callbacks, and the proxy that shows them in the list's sort order; shared by the toolkit's list
// files.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <QAbstractItemModel>
#include <QMimeData>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QTreeView>

#include "toolkit/listcontrol.h"

// Rows dragged out of a list carry this format: the process and the list they came from, so that
// a drop can tell them from files.
inline const QString kListRowsMimeType = QStringLiteral("application/x-moviestick-list-rows");

class ListModel;

// What the view shows: the model's rows in the list's order. Rows move only when the list sorts
// them (ListModel::Sort), never on their own after an edit or an update of cells: an item whose
// title the user just changed stays where it was until the next sort.
class ListProxy final : public QSortFilterProxyModel {
public:
    explicit ListProxy(ListModel* model);

    // Sorts by the column in the order, asking the list's compare callback; column -1 is the
    // order of adding.
    void SortBy(int column, Qt::SortOrder order);

    // While the model resets, the rows it keeps are to stay in the order they were shown in;
    // after the reset the proxy sorts them by that order rather than by the compare callback.
    void HoldOrder(const std::vector<DataBrowserItemID>& shown);
    void ReleaseOrder();

    bool filterAcceptsRow(int, const QModelIndex&) const override { return true; }
    // The selection asks these of every cell it covers; a flat list answers them without
    // mapping the index to the model.
    QModelIndex parent(const QModelIndex&) const override { return {}; }
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void multiData(const QModelIndex& index, QModelRoleDataSpan roles) const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    bool Before(int one, int two) const;

    ListModel* model_;
    bool sorting_ = false;
    bool holding_ = false;
    std::vector<int> heldRank_;  // by the model's row, while an order is held
};

class ListModel final : public QAbstractItemModel {
public:
    ListModel(QTreeView* view, const QStringList& columns, const QStringList& titles,
              const QStringList& editable);

    QTreeView* view_;
    ListProxy* proxy_;  // what the view shows
    std::vector<OSType> columns_;
    std::vector<bool> editable_;
    QStringList titles_;
    DataBrowserCallbacks callbacks_;
    std::vector<DataBrowserItemID> items_;              // the rows: the order of adding
    std::unordered_map<DataBrowserItemID, int> rowOf_;  // each listed item's row in items_
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

    // Rows as the view shows them: the calls of the list control speak of these.

    int Count() const { return int(items_.size()); }
    bool Listed(DataBrowserItemID item) const { return rowOf_.count(item) > 0; }
    // The item's row in the model (the order of adding), or -1.
    int ModelRowOf(DataBrowserItemID item) const {
        const auto found = rowOf_.find(item);
        return found == rowOf_.end() ? -1 : found->second;
    }
    // The item's row as shown, or -1.
    int RowOf(DataBrowserItemID item) const {
        const int row = ModelRowOf(item);
        return row < 0 ? -1 : proxy_->mapFromSource(index(row, 0)).row();
    }
    // The shown rows of the given items, in ascending order; IDs that are not listed are left out.
    std::vector<int> RowsOf(uint32_t count, const DataBrowserItemID* items) const;
    // The item shown in a row that exists.
    DataBrowserItemID ItemAt(int row) const {
        return items_[size_t(proxy_->mapToSource(proxy_->index(row, 0)).row())];
    }
    QModelIndex ViewIndex(int row, int column) const { return proxy_->index(row, column); }
    // Every item, as shown.
    std::vector<DataBrowserItemID> Shown() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (parent.isValid() || row < 0 || row >= Count() || column < 0 ||
            column >= int(columns_.size()))
            return {};
        return createIndex(row, column);
    }
    QModelIndex parent(const QModelIndex&) const override { return {}; }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : Count();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(columns_.size());
    }

    // The roles a cell's callback answers.
    static bool IsCellRole(int role) {
        return role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole ||
               role == Qt::DecorationRole || role == Qt::ForegroundRole;
    }

    QVariant CellData(const DataBrowserItemDataRec& cell, int role) const {
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
            case Qt::ToolTipRole:
                return cell.hasText ? QVariant(cell.text) : QVariant();
            case Qt::DecorationRole:
                return cell.icon.isNull() ? QVariant() : QVariant(cell.icon);
            case Qt::ForegroundRole:
                return cell.greyed
                           ? QVariant(view_->palette().brush(QPalette::Disabled, QPalette::Text))
                           : QVariant();
            default:
                return {};
        }
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || !IsCellRole(role)) return {};
        return CellData(AskCell(items_[size_t(index.row())], columns_[size_t(index.column())]),
                        role);
    }

    // The delegate asks for all the roles of a cell at once, for every cell it paints or
    // measures: the callback is asked once for them, not once a role.
    void multiData(const QModelIndex& index, QModelRoleDataSpan roles) const override {
        const bool asked =
            index.isValid() && std::any_of(roles.begin(), roles.end(), [](const QModelRoleData& r) {
                return IsCellRole(r.role());
            });
        DataBrowserItemDataRec cell;
        if (asked) cell = AskCell(items_[size_t(index.row())], columns_[size_t(index.column())]);
        for (QModelRoleData& r : roles) r.setData(asked ? CellData(cell, r.role()) : QVariant());
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || role != Qt::EditRole || !callbacks_.itemDataCallback) return false;
        DataBrowserItemDataRec cell;
        cell.text = value.toString();
        cell.hasText = true;
        const DataBrowserItemID item = items_[size_t(index.row())];
        (void)callbacks_.itemDataCallback(view_, item, columns_[size_t(index.column())], &cell,
                                          true);
        // The callback may have removed rows; the item is looked for again.
        const int row = ModelRowOf(item);
        if (row >= 0) emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
        return true;
    }

    // Every row of a column has the same flags.
    Qt::ItemFlags ColumnFlags(int column) const {
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
                              Qt::ItemNeverHasChildren;
        if (editable_[size_t(column)]) flags |= Qt::ItemIsEditable;
        return flags;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? ColumnFlags(index.column()) : Qt::ItemIsDropEnabled;
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

    QStringList mimeTypes() const override { return {kListRowsMimeType}; }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    // The drag data of the items, in the order given.
    QMimeData* RowsMimeData(const std::vector<DataBrowserItemID>& items) const {
        QByteArray marker =
            QByteArray::number(qint64(getpid())) + ' ' + QByteArray::number(quintptr(view_), 16);
        for (DataBrowserItemID item : items) marker += ' ' + QByteArray::number(item);
        auto* mime = new QMimeData;
        mime->setData(kListRowsMimeType, marker);
        return mime;
    }

    // Shows the items by the sort property and order; with none, in the order of adding.
    void Sort();
    void Add(uint32_t count, const DataBrowserItemID* items);
    // Rows of the given items, taken out in a few ranges, each its own removal, or, when they
    // lie in many, in one reset that keeps the remaining selection, the current row and the
    // scroll position: a view pays for each removal signal in proportion to the list.
    void RemoveItems(const std::unordered_set<DataBrowserItemID>& gone);
    static constexpr size_t kFewRanges = 8;
    void ResetWithout(const std::unordered_set<DataBrowserItemID>& gone);
    void RemoveAll();
    void SetCallbacks(const DataBrowserCallbacks& callbacks);

    void EditStopped(const QObject* editor) {
        if (!editor_ || editor_ != editor) return;
        editor_ = nullptr;
        Notify(std::exchange(editedItem_, kDataBrowserNoItem), kDataBrowserEditStopped);
    }

private:
    // Numbers the items of the rows from `first` on in rowOf_.
    void NumberRowsFrom(size_t first) {
        for (size_t row = first; row < items_.size(); ++row) rowOf_[items_[row]] = int(row);
    }

    // A reset of the model in which `change` changes the items or the callbacks; the items that
    // stay keep the order they were shown in.
    template <class Change>
    void ResetKeepingOrder(Change change) {
        const bool sorted = proxy_->sortColumn() >= 0;
        std::vector<DataBrowserItemID> shown;
        if (sorted) shown = Shown();  // unsorted, they are shown in the order of adding
        beginResetModel();
        change();
        if (sorted) proxy_->HoldOrder(shown);
        endResetModel();
        if (sorted) proxy_->ReleaseOrder();
    }
};

// The model of a list control, or null for any other control.
ListModel* ModelOf(ControlRef browser);
