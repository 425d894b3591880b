#pragma once

#include <cstdint>
#include <gst/gst.h>
#include <optional>

namespace tap {

class AudioFilterCore;

// The tap element "tuvaltap" (type TDSAudioFilter): an in-place audio transform that hands
// every decoded block to an AudioFilterCore. Registered by initialiseMedia().
constexpr const char* kAudioFilterFactory = "tuvaltap";

GType AudioFilterType();
bool RegisterAudioFilter();

// The core of a tap element; nullptr when the element is not a tap.
AudioFilterCore* AudioFilterCoreOf(GstElement* element);

// Running time, in 100-ns units, of the audio the sink is playing now: the element's clock
// time less its base time less the pipeline latency. None without a clock (not playing).
std::optional<std::int64_t> CurrentStreamTime(GstElement* element);

} // namespace tap
