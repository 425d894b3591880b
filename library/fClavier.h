#pragma once

#include <QDialog>

namespace library {

// The numeric keypad used to type into the index search.
class TClavier : public QDialog {
    Q_OBJECT
public:
    explicit TClavier(QWidget* parent = nullptr);
};

} // namespace library
