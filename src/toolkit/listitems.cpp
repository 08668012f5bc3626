// SPDX-License-Identifier: GPL-3.0-or-later
// listitems.cpp - the list control's calls: callbacks, items, selection, rows and the sort.
#include <algorithm>
#include <unordered_set>
#include <vector>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QSignalBlocker>
#include <QTreeView>

#include "toolkit/listcontrol.h"
#include "toolkit/listmodel.h"

ListModel* ModelOf(ControlRef browser) {
    auto* view = qobject_cast<QTreeView*>(browser);
    auto* proxy = view ? dynamic_cast<ListProxy*>(view->model()) : nullptr;
    return proxy ? dynamic_cast<ListModel*>(proxy->sourceModel()) : nullptr;
}

// Callbacks

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

// Items

OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, uint32_t numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem || (numItems > 0 && !items)) return kParamErr;
    if (numItems == 0) return 0;
    std::unordered_set<DataBrowserItemID> batch;
    for (uint32_t i = 0; i < numItems; ++i)
        if (items[i] == kDataBrowserNoItem || model->Listed(items[i]) ||
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
    // The items up to the first that is not listed (or comes twice) go, all rows at once; each
    // is reported once every row is gone.
    std::unordered_set<DataBrowserItemID> gone;
    std::vector<DataBrowserItemID> order;
    OSStatus status = 0;
    for (uint32_t i = 0; i < numItems; ++i) {
        if (!model->Listed(items[i]) || !gone.insert(items[i]).second) {
            status = kErrDataBrowserItemNotFound;
            break;
        }
        order.push_back(items[i]);
    }
    model->RemoveItems(gone);
    QPointer<ListModel> guard = model;
    for (size_t i = 0; i < order.size() && guard; ++i)
        model->Notify(order[i], kDataBrowserItemRemoved);
    return status;
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
    if (model->Count() == 0) return 0;
    // Rows of the model, in the order of adding; the proxy tells the view of the rows it shows.
    int firstRow = 0;
    int lastRow = model->Count() - 1;
    if (numItems > 0 && items) {
        firstRow = model->Count();
        lastRow = -1;
        for (uint32_t i = 0; i < numItems; ++i) {
            const int row = model->ModelRowOf(items[i]);
            if (row < 0) continue;
            firstRow = std::min(firstRow, row);
            lastRow = std::max(lastRow, row);
        }
        if (lastRow < 0) return 0;
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
        for (int row : SelectedRows(model)) items->push_back(model->ItemAt(row));
    } else if (state == kDataBrowserItemAnyState) {
        const std::vector<DataBrowserItemID> shown = model->Shown();
        items->insert(items->end(), shown.begin(), shown.end());
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
        *count = uint32_t(model->Count());
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
        selection.append(QItemSelectionRange(model->ViewIndex(rows[i], 0),
                                             model->ViewIndex(rows[j], lastColumn)));
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
    if (row >= uint32_t(model->Count())) return kErrDataBrowserItemNotFound;
    if (item) *item = model->ItemAt(int(row));
    return 0;
}

OSStatus OpenDataBrowserEditSession(ControlRef browser, DataBrowserItemID item,
                                    DataBrowserPropertyID property) {
    ListModel* model = ModelOf(browser);
    if (!model) return kErrDataBrowserNotConfigured;
    const int row = model->RowOf(item);
    if (row < 0) return kErrDataBrowserItemNotFound;
    const int column = model->ColumnOf(property);
    if (column < 0 || !model->editable_[size_t(column)]) return kParamErr;
    const QModelIndex cell = model->ViewIndex(row, column);
    model->view_->setCurrentIndex(cell);
    model->view_->edit(cell);  // the delegate asks the item-data callback
    return 0;
}

// Order

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
