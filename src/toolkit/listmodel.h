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
#include <QMimeData>
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

// The model of a list control, or null for any other control.
ListModel* ModelOf(ControlRef browser);
