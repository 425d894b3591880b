#pragma once

#include <QDialog>

namespace dsp {

// The operator's window for both decks' equalisers, shown without being modal.
class TEqualizerAudio : public QDialog {
    Q_OBJECT
public:
    explicit TEqualizerAudio(QWidget* parent = nullptr);
};

} // namespace dsp
