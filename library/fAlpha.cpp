#include "library/fAlpha.h"

namespace library {

TAlpha::TAlpha(QWidget* parent)
    : QDialog(parent) {
    setObjectName("Alpha");
}

} // namespace library
