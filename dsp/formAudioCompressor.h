#pragma once

#include <QDialog>

namespace dsp {

// The operator's window for both decks' compressors, shown without being modal.
class TCompressorAudio : public QDialog {
    Q_OBJECT
public:
    explicit TCompressorAudio(QWidget* parent = nullptr);
};

} // namespace dsp
