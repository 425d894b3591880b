#include "dsp/formAudioEqualizer.h"

namespace dsp {

TEqualizerAudio::TEqualizerAudio(QWidget* parent)
    : QDialog(parent) {
    setObjectName("EqualizerAudio");
}

} // namespace dsp
