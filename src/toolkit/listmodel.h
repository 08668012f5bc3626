// SPDX-License-Identifier: GPL-3.0-or-later
// listmodel.h - the list control's model: item IDs in display order and in the order of adding,
// the callbacks, the sort; shared by the toolkit's list files.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QScrollBar>
#include <QStringList>
#include <QTreeView>

#include "toolkit/listcontrol.h"

// Rows dragged out of a list carry this format: the process and the list they came from, so that
// a drop can tell them from files.
inline const QString kListRowsMimeType = QStringLiteral("application/x-moviestick-list-rows");

class ListModel final : public QAbstractItemModel {
public:
    ListModel(QTreeView* view, const QStringList& columns, const QStringList& titles,
              const QStringList& editable)
        : QAbstractItemModel(view), view_(view), titles_(titles) {
        for (const QString& column : columns) {
            const QByteArray code = column.toLatin1().leftJustified(4, ' ', true);
            columns_.push_back(PackFourCharCode(code.constData()));
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
        return CellData(AskCell(rows_[size_t(index.row())], columns_[size_t(index.column())]),
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
        if (asked) cell = AskCell(rows_[size_t(index.row())], columns_[size_t(index.column())]);
        for (QModelRoleData& r : roles) r.setData(asked ? CellData(cell, r.role()) : QVariant());
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

    QStringList mimeTypes() const override { return {kListRowsMimeType}; }
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
        mime->setData(kListRowsMimeType, marker);
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

    // Rows of the given items, taken out in a few ranges, each its own removal, or, when they
    // lie in many, in one reset that keeps the remaining selection, the current row and the
    // scroll position: a view pays for each removal signal in proportion to the list.
    void RemoveItems(const std::unordered_set<DataBrowserItemID>& gone) {
        std::vector<std::pair<int, int>> ranges;  // first and last row, ascending
        for (int row = 0; row < int(rows_.size()); ++row) {
            if (!gone.count(rows_[size_t(row)])) continue;
            if (!ranges.empty() && ranges.back().second == row - 1)
                ranges.back().second = row;
            else
                ranges.emplace_back(row, row);
        }
        if (ranges.empty()) return;
        added_.erase(std::remove_if(added_.begin(), added_.end(),
                                    [&](DataBrowserItemID item) { return gone.count(item) > 0; }),
                     added_.end());
        for (DataBrowserItemID item : gone) listed_.erase(item);
        // An open editor is closed only when its own row goes.
        if (ranges.size() <= kFewRanges || editor_) {
            for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
                beginRemoveRows({}, range->first, range->second);
                rows_.erase(rows_.begin() + range->first, rows_.begin() + range->second + 1);
                endRemoveRows();
            }
            return;
        }
        ResetWithout(gone);
    }

    static constexpr size_t kFewRanges = 8;

    void ResetWithout(const std::unordered_set<DataBrowserItemID>& gone) {
        QItemSelectionModel* selection = view_->selectionModel();
        std::unordered_set<DataBrowserItemID> selected;
        bool selectionShrinks = false;
        for (const QItemSelectionRange& range : selection->selection()) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                const DataBrowserItemID item = rows_[size_t(row)];
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
            for (size_t row = size_t(current.row()); row < rows_.size(); ++row) {
                if (!gone.count(rows_[row])) {
                    currentItem = rows_[row];
                    break;
                }
            }
        }
        const int vertical = view_->verticalScrollBar()->value();
        const int horizontal = view_->horizontalScrollBar()->value();

        beginResetModel();
        rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                                   [&](DataBrowserItemID item) { return gone.count(item) > 0; }),
                    rows_.end());
        endResetModel();

        const int lastColumn = columnCount() - 1;
        if (currentItem != kDataBrowserNoItem) {
            const int row = RowOf(currentItem);
            selection->setCurrentIndex(index(row, currentColumn), QItemSelectionModel::NoUpdate);
        }
        QItemSelection kept;
        for (int row = 0; row < int(rows_.size());) {
            if (!selected.count(rows_[size_t(row)])) {
                ++row;
                continue;
            }
            int last = row;
            while (last + 1 < int(rows_.size()) && selected.count(rows_[size_t(last + 1)])) ++last;
            kept.append(QItemSelectionRange(index(row, 0), index(last, lastColumn)));
            row = last + 1;
        }
        if (!kept.isEmpty()) selection->select(kept, QItemSelectionModel::Select);
        view_->verticalScrollBar()->setValue(vertical);
        view_->horizontalScrollBar()->setValue(horizontal);
        // A reset clears the selection without a word; the list is told that it changed.
        if (selectionShrinks && kept.isEmpty())
            Notify(kDataBrowserNoItem, kDataBrowserSelectionSetChanged);
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

// The model of a list control, or null for any other control.
ListModel* ModelOf(ControlRef browser);
