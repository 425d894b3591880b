namespace dsp {}
