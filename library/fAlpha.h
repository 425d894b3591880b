#pragma once

#include <QDialog>

namespace library {

// The alphanumeric keyboard used to type into the index search.
class TAlpha : public QDialog {
    Q_OBJECT
public:
    explicit TAlpha(QWidget* parent = nullptr);
};

} // namespace library
