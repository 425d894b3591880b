#include "dsp/formAudioCompressor.h"

namespace dsp {

TCompressorAudio::TCompressorAudio(QWidget* parent)
    : QDialog(parent) {
    setObjectName("CompressorAudio");
}

} // namespace dsp
