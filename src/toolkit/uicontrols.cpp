// SPDX-License-Identifier: GPL-3.0-or-later
// uicontrols.cpp - controls found by signature and number: state, values, texts, bounds, columns.
#include <algorithm>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeView>
#include <QWidget>

#include "toolkit/ui.h"
#include "toolkit/ui_internal.h"

static OSType SignatureOf(const QWidget* widget) {
    const QString text = widget->property("signature").toString();
    if (text.size() != 4) return 0;
    const QByteArray bytes = text.toLatin1();
    return PackFourCharCode(bytes.constData());
}

OSStatus GetControlByID(WindowRef window, const ControlID& id, ControlRef* control) {
    *control = nullptr;
    if (!window) return kParamErr;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const QVariant number = widget->property("controlID");
        if (number.isValid() && number.toInt() == id.id && SignatureOf(widget) == id.signature) {
            *control = widget;
            return 0;
        }
    }
    return kUnknownControlErr;
}

ControlRef FindControl(WindowRef window, int32_t id) {
    ControlRef control = nullptr;
    return GetControlByID(window, {kControlSignature, id}, &control) == 0 ? control : nullptr;
}

OSStatus GetControlID(ControlRef control, ControlID* id) {
    const QVariant number = control ? control->property("controlID") : QVariant();
    if (!number.isValid()) return kUnknownControlErr;
    *id = ControlID{SignatureOf(control), number.toInt()};
    return 0;
}

WindowRef GetControlOwner(ControlRef control) {
    return control ? control->window() : nullptr;
}

void ActivateControl(ControlRef control) {
    control->setEnabled(true);
}
void DeactivateControl(ControlRef control) {
    control->setEnabled(false);
}
bool IsControlActive(ControlRef control) {
    return control->isEnabledTo(control->window());
}

// Values and ranges

// Widgets without a value of their own (little arrows) keep it in dynamic properties.
static int32_t PropertyOr(const QWidget* widget, const char* name, int32_t fallback) {
    const QVariant value = widget->property(name);
    return value.isValid() ? value.toInt() : fallback;
}

int32_t GetControl32BitMinimum(ControlRef control) {
    if (qobject_cast<QComboBox*>(control)) return 1;
    if (auto* bar = qobject_cast<QProgressBar*>(control)) return bar->minimum();
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) return slider->minimum();
    if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->minimum();
    if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->isCheckable())
        return 0;
    return PropertyOr(control, "minimum", 0);
}

int32_t GetControl32BitMaximum(ControlRef control) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->count();
    if (auto* bar = qobject_cast<QProgressBar*>(control)) return bar->maximum();
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) return slider->maximum();
    if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->maximum();
    if (auto* button = qobject_cast<QAbstractButton*>(control); button && button->isCheckable())
        return 1;
    return PropertyOr(control, "maximum", 100);
}

void SetControl32BitMinimum(ControlRef control, int32_t minimum) {
    if (auto* bar = qobject_cast<QProgressBar*>(control)) return bar->setMinimum(minimum);
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) return slider->setMinimum(minimum);
    if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->setMinimum(minimum);
    // A pop-up's range is its items; a check box's is 0 to 1.
    if (qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractButton*>(control)) return;
    control->setProperty("minimum", minimum);
    SetControl32BitValue(control, GetControl32BitValue(control));
}

void SetControl32BitMaximum(ControlRef control, int32_t maximum) {
    if (auto* bar = qobject_cast<QProgressBar*>(control)) return bar->setMaximum(maximum);
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) return slider->setMaximum(maximum);
    if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->setMaximum(maximum);
    if (qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractButton*>(control)) return;
    control->setProperty("maximum", maximum);
    SetControl32BitValue(control, GetControl32BitValue(control));
}

int32_t GetControl32BitValue(ControlRef control) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentIndex() + 1;
    if (auto* bar = qobject_cast<QProgressBar*>(control)) return bar->value();
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) return slider->value();
    if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->value();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->isChecked() ? 1 : 0;
    return PropertyOr(control, "value", 0);
}

void SetControl32BitValue(ControlRef control, int32_t value) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->count() > 0) combo->setCurrentIndex(std::clamp(value, 1, combo->count()) - 1);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        // A value the program sets is no control hit: only the user's changes are reported.
        const QSignalBlocker quiet(button);
        button->setChecked(value != 0);
        return;
    }
    const int32_t minimum = GetControl32BitMinimum(control);
    const int32_t pinned = std::max(minimum, std::min(value, GetControl32BitMaximum(control)));
    // A progress bar ignores values outside its range instead of pinning them.
    if (auto* bar = qobject_cast<QProgressBar*>(control)) return bar->setValue(pinned);
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) return slider->setValue(pinned);
    if (auto* spin = qobject_cast<QSpinBox*>(control)) return spin->setValue(pinned);
    control->setProperty("value", pinned);
}

// Texts and pictures

QString GetControlText(ControlRef control) {
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
    if (auto* box = qobject_cast<QGroupBox*>(control)) return box->title();
    return control->windowTitle();
}

// A static text whose interface file sets "nameFollowsText" is read out by what it shows: a
// screen reader reads a label's fixed name instead of its text. The file's name stands in while
// the text is empty.
static void NameAfterText(QLabel* label, const QString& text) {
    if (!label->property("nameFollowsText").toBool()) return;
    if (!label->property("nameWhileEmpty").isValid())
        label->setProperty("nameWhileEmpty", label->accessibleName());
    label->setAccessibleName(text.isEmpty() ? label->property("nameWhileEmpty").toString() : text);
}

void SetControlText(ControlRef control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
        return NameAfterText(label, text);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->setText(text);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->setText(text);
    if (auto* box = qobject_cast<QGroupBox*>(control)) return box->setTitle(text);
    control->setWindowTitle(text);
}

void SetImageWellPicture(ControlRef well, const QImage* picture) {
    auto* label = qobject_cast<QLabel*>(well);
    if (!label) return;
    if (!picture || picture->isNull()) return label->clear();
    const QSize room = label->contentsRect().size();
    label->setPixmap(
        QPixmap::fromImage(picture->scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

// Bounds and drawing

Rect GetControlBounds(ControlRef control) {
    const QWidget* content = WindowContent(control->window());
    const QPoint topLeft = control->mapTo(content, QPoint(0, 0));
    return Rect{int16_t(topLeft.y()), int16_t(topLeft.x()),
                int16_t(topLeft.y() + control->height()), int16_t(topLeft.x() + control->width())};
}

void SetControlBounds(ControlRef control, const Rect& bounds) {
    QWidget* content = WindowContent(control->window());
    QWidget* parent = control->parentWidget();
    const QPoint topLeft = parent == content
                               ? QPoint(bounds.left, bounds.top)
                               : parent->mapFrom(content, QPoint(bounds.left, bounds.top));
    control->setGeometry(topLeft.x(), topLeft.y(), bounds.right - bounds.left,
                         bounds.bottom - bounds.top);
}

void Draw1Control(ControlRef control) {
    control->repaint();
}

void SetControlAccessibleName(ControlRef control, const QString& name) {
    control->setAccessibleName(name);
}

OSType GetControlCommandID(ControlRef control) {
    return control ? CommandOfObject(control) : 0;
}

void SetControlAction(ControlRef control, ControlActionProc action) {
    control->setProperty("toolkitControlAction",
                         QVariant::fromValue(reinterpret_cast<quintptr>(action)));
}

// List columns

static int ColumnIndex(ControlRef list, OSType property, QHeaderView** header) {
    auto* view = qobject_cast<QTreeView*>(list);
    if (!view) return -1;
    const int index =
        view->property("columns").toStringList().indexOf(FourCharCodeString(property));
    if (index < 0 || index >= view->header()->count()) return -1;
    *header = view->header();
    return index;
}

OSStatus GetListColumnWidth(ControlRef list, OSType property, int16_t* width) {
    QHeaderView* header = nullptr;
    const int index = ColumnIndex(list, property, &header);
    if (index < 0) return kParamErr;
    *width = int16_t(header->sectionSize(index));
    return 0;
}

OSStatus SetListColumnWidth(ControlRef list, OSType property, int16_t width) {
    QHeaderView* header = nullptr;
    const int index = ColumnIndex(list, property, &header);
    if (index < 0) return kParamErr;
    header->resizeSection(index, width);
    QStringList sized = list->property("sizedColumns").toStringList();
    if (!sized.contains(FourCharCodeString(property))) sized.append(FourCharCodeString(property));
    list->setProperty("sizedColumns", sized);
    return 0;
}

// Qt's own default section size resizes every column, also those given a width of their own.
void SetListDefaultColumnWidth(ControlRef list, int16_t width) {
    auto* view = qobject_cast<QTreeView*>(list);
    if (!view) return;
    list->setProperty("defaultColumnWidth", int(width));
    const QStringList columns = view->property("columns").toStringList();
    const QStringList sized = view->property("sizedColumns").toStringList();
    for (int i = 0; i < columns.size() && i < view->header()->count(); ++i)
        if (!sized.contains(columns[i])) view->header()->resizeSection(i, width);
}
