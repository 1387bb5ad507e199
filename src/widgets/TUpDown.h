#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace cvg {

// An up-down with its text field: the field can be named and made read-only
// on its own, as the dialogs pair a field with arrows.
class TUpDown final : public QSpinBox {
public:
    using QSpinBox::QSpinBox;
    QLineEdit* field() const { return lineEdit(); }
};

} // namespace cvg
