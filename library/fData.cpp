#include "library/fData.h"

namespace library {

TData::TData(QObject* parent)
    : QObject(parent) {
    setObjectName("Data");
}

} // namespace library
