// SPDX-License-Identifier: GPL-3.0-or-later
// popupmenu.cpp - the items of a pop-up control, kept in a QComboBox.
#include "toolkit/popupmenu.h"

#include <QComboBox>

// Where each item keeps its command ID.
static constexpr int kCommandRole = Qt::UserRole + 1;

void DeletePopupMenuItems(ControlRef popup) {
    if (auto* combo = qobject_cast<QComboBox*>(popup)) combo->clear();
}

void AppendPopupMenuItem(ControlRef popup, const QString& text, OSType command) {
    auto* combo = qobject_cast<QComboBox*>(popup);
    if (!combo) return;
    combo->addItem(text);
    combo->setItemData(combo->count() - 1, QVariant::fromValue<uint32_t>(command), kCommandRole);
}

int CountPopupMenuItems(ControlRef popup) {
    auto* combo = qobject_cast<QComboBox*>(popup);
    return combo ? combo->count() : 0;
}

QString GetPopupMenuItemText(ControlRef popup, int item) {
    auto* combo = qobject_cast<QComboBox*>(popup);
    return combo && item >= 1 && item <= combo->count() ? combo->itemText(item - 1) : QString();
}

OSType GetPopupMenuItemCommandID(ControlRef popup, int item) {
    auto* combo = qobject_cast<QComboBox*>(popup);
    if (!combo || item < 1 || item > combo->count()) return 0;
    return combo->itemData(item - 1, kCommandRole).value<uint32_t>();
}
