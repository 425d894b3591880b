#pragma once

#include <QObject>

namespace library {

// The data module: holds the music index table and its data source; no window.
class TData : public QObject {
    Q_OBJECT
public:
    explicit TData(QObject* parent = nullptr);
};

} // namespace library
