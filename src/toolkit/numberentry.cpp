// SPDX-License-Identifier: GPL-3.0-or-later
// numberentry.cpp - a text field that takes typed whole numbers within a range.
#include "toolkit/numberentry.h"

#include <QIntValidator>
#include <QLineEdit>

// Qt's own validator lets "700" stand as a number still being typed when the range ends at 600;
// here a number past either end is refused at the key that makes it.
class RangeValidator : public QIntValidator {
public:
    using QIntValidator::QIntValidator;
    State validate(QString& input, int& pos) const override {
        const State state = QIntValidator::validate(input, pos);
        if (state != Intermediate) return state;
        bool isNumber = false;
        const int value = input.toInt(&isNumber);
        return isNumber && (value > top() || value < bottom()) ? Invalid : state;
    }
};

void SetControlNumberEntry(ControlRef field, int32_t minimum, int32_t maximum,
                           std::function<void(ControlRef, int32_t)> typed) {
    auto* edit = qobject_cast<QLineEdit*>(field);
    if (!edit) return;
    // The validator refuses keys that would leave something other than a number in range, so
    // the field never shows a step that is not the one in use.
    edit->setValidator(new RangeValidator(minimum, maximum, edit));
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [edit, typed = std::move(typed)](const QString& text) {
                         bool isNumber = false;
                         const int value = text.toInt(&isNumber);
                         if (isNumber && edit->hasAcceptableInput()) typed(edit, value);
                     });
}
