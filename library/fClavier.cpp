#include "library/fClavier.h"

namespace library {

TClavier::TClavier(QWidget* parent)
    : QDialog(parent) {
    setObjectName("Clavier");
}

} // namespace library
