#include "tap/DSAudioFilter.h"

#include "tap/AudioFilterCore.h"

#include <atomic>
#include <gst/audio/audio.h>
#include <gst/base/gstbasetransform.h>
#include <memory>
#include <new>
#include <string_view>

GST_DEBUG_CATEGORY_STATIC(tuval_tap_debug);
#define GST_CAT_DEFAULT tuval_tap_debug

namespace {

// State the element adds to the core; GObject zero-fills the instance and runs no C++
// constructors, so it lives behind one owning pointer made in init and freed in finalize.
struct ElementState {
    tap::AudioFilterCore core;
    std::atomic<GstClockTime> latency{0};
    bool connected = false; // caps accepted since the element left READY
};

struct TDSAudioFilter {
    GstBaseTransform parent;
    std::unique_ptr<ElementState> state;
};

struct TDSAudioFilterClass {
    GstBaseTransformClass parent_class;
};

G_DEFINE_TYPE(TDSAudioFilter, tds_audio_filter, GST_TYPE_BASE_TRANSFORM)

// Raw interleaved PCM the processors understand, plus the encoded pass-through streams.
constexpr const char* kCaps = "audio/x-raw, format=(string){ U8, S16LE, S24LE, S32LE, F32LE }, "
                              "layout=(string)interleaved, rate=(int)[1, MAX], "
                              "channels=(int)[1, MAX]; "
                              "audio/x-ac3; audio/x-eac3; audio/x-dts";

TDSAudioFilter* self(gpointer p) {
    return reinterpret_cast<TDSAudioFilter*>(p);
}
ElementState& stateOf(gpointer p) {
    return *self(p)->state;
}
GstBaseTransformClass* parentClass() {
    return GST_BASE_TRANSFORM_CLASS(tds_audio_filter_parent_class);
}

int intField(const GstStructure* s, const char* name, int fallback) {
    int v = 0;
    return gst_structure_get_int(s, name, &v) ? v : fallback;
}

tap::MediaType encodedType(const GstStructure* s, std::uint16_t tag) {
    tap::MediaType t;
    t.FormatTag = tag;
    t.SampleRate = static_cast<std::uint32_t>(intField(s, "rate", 48000));
    t.Channels = 2; // carried as two 16-bit channels
    t.Bits = 16;
    return t;
}

tap::MediaType mediaTypeOf(GstCaps* caps) {
    tap::MediaType t;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const std::string_view name = gst_structure_get_name(s);
    if (name == "audio/x-ac3" || name == "audio/x-eac3")
        return encodedType(s, tap::kWaveFormatDolbyAc3Spdif);
    if (name == "audio/x-dts")
        return encodedType(s, tap::kWaveFormatDts);
    // Read the fields directly: the audio-info parser insists on a channel mask that the
    // tap has no use for.
    const char* formatName = gst_structure_get_string(s, "format");
    const GstAudioFormatInfo* format =
        formatName != nullptr ? gst_audio_format_get_info(gst_audio_format_from_string(formatName))
                              : nullptr;
    if (name != "audio/x-raw" || format == nullptr ||
        GST_AUDIO_FORMAT_INFO_FORMAT(format) == GST_AUDIO_FORMAT_UNKNOWN) {
        t.Audio = name.starts_with("audio/");
        t.subtype = tap::MediaType::Subtype::Other;
        return t;
    }
    const bool isFloat = GST_AUDIO_FORMAT_INFO_IS_FLOAT(format);
    t.subtype = isFloat ? tap::MediaType::Subtype::IeeeFloat : tap::MediaType::Subtype::Pcm;
    t.FormatTag = isFloat ? tap::kWaveFormatIeeeFloat : tap::kWaveFormatPcm;
    t.SampleRate = static_cast<std::uint32_t>(intField(s, "rate", 0));
    t.Channels = static_cast<std::uint32_t>(intField(s, "channels", 0));
    t.Bits = static_cast<std::uint32_t>(GST_AUDIO_FORMAT_INFO_WIDTH(format));
    return t;
}

// negotiating (streaming) thread
gboolean setCaps(GstBaseTransform* trans, GstCaps* incaps, GstCaps* /*outcaps*/) {
    ElementState& st = stateOf(trans);
    const tap::MediaType type = mediaTypeOf(incaps);
    std::uint32_t result = 0;
    if (!st.connected) {
        result = st.core.CheckInputType(type);
        if (result == tap::kS_OK) {
            st.core.CompleteConnect();
            st.connected = true;
        }
    } else {
        result = st.core.ChangeFormat(type);
    }
    if (result != tap::kS_OK)
        GST_WARNING_OBJECT(trans, "refused %" GST_PTR_FORMAT " ($%x)", incaps, result);
    return result == tap::kS_OK;
}

std::optional<std::int64_t> startOf(GstBaseTransform* trans, GstBuffer* buf) {
    if (!GST_BUFFER_PTS_IS_VALID(buf))
        return std::nullopt;
    const GstClockTime rt =
        gst_segment_to_running_time(&trans->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buf));
    if (!GST_CLOCK_TIME_IS_VALID(rt))
        return std::nullopt;
    return static_cast<std::int64_t>(rt / 100);
}

void followLength(GstBuffer* buf, std::uint32_t length, const dsp::DSStream& s) {
    gst_buffer_set_size(buf, length);
    const std::uint64_t frameBytes = std::uint64_t{s.Channels} * (s.Bits / 8);
    const GstClockTime duration =
        std::uint64_t{length} * GST_SECOND / s.Channels / (s.Bits / 8) / s.SampleRate;
    if (GST_BUFFER_PTS_IS_VALID(buf))
        GST_BUFFER_DURATION(buf) = duration;
    if (GST_BUFFER_OFFSET_IS_VALID(buf))
        GST_BUFFER_OFFSET_END(buf) = GST_BUFFER_OFFSET(buf) + length / frameBytes;
}

void shiftTimes(GstBuffer* buf, std::int64_t shift100ns) {
    if (shift100ns == 0 || !GST_BUFFER_PTS_IS_VALID(buf))
        return;
    const std::int64_t pts = static_cast<std::int64_t>(GST_BUFFER_PTS(buf)) + shift100ns * 100;
    GST_BUFFER_PTS(buf) = static_cast<GstClockTime>(pts < 0 ? 0 : pts);
}

// streaming thread
GstFlowReturn transformIp(GstBaseTransform* trans, GstBuffer* buf) {
    ElementState& st = stateOf(trans);
    GstMapInfo map;
    if (!gst_buffer_map(buf, &map, GST_MAP_READWRITE)) {
        GST_ERROR_OBJECT(trans, "cannot map the buffer");
        return GST_FLOW_ERROR;
    }
    const auto length0 = static_cast<std::uint32_t>(map.size);
    const std::uint32_t length = st.core.Transform(map.data, length0, startOf(trans, buf));
    gst_buffer_unmap(buf, &map);
    if (length != length0)
        followLength(buf, length, *st.core.GetStream());
    GST_BUFFER_FLAG_UNSET(buf, GST_BUFFER_FLAG_DELTA_UNIT);
    shiftTimes(buf, st.core.TimeShift());
    return GST_FLOW_OK;
}

gboolean sinkEvent(GstBaseTransform* trans, GstEvent* event) {
    ElementState& st = stateOf(trans);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_START:
        st.core.BeginFlush();
        break;
    case GST_EVENT_FLUSH_STOP:
        st.core.EndFlush();
        break;
    case GST_EVENT_EOS:
        st.core.EndOfStream(tap::CurrentStreamTime(GST_ELEMENT(trans)).value_or(0));
        break;
    default:
        break;
    }
    return parentClass()->sink_event(trans, event);
}

// The pipeline tells its sinks the latency it chose; they pass it upstream through us.
gboolean srcEvent(GstBaseTransform* trans, GstEvent* event) {
    if (GST_EVENT_TYPE(event) == GST_EVENT_LATENCY) {
        GstClockTime latency = 0;
        gst_event_parse_latency(event, &latency);
        stateOf(trans).latency.store(latency);
    }
    return parentClass()->src_event(trans, event);
}

GstStateChangeReturn changeState(GstElement* element, GstStateChange transition) {
    ElementState& st = stateOf(element);
    switch (transition) {
    case GST_STATE_CHANGE_READY_TO_PAUSED:
        st.connected = false;
        st.latency.store(0);
        break;
    case GST_STATE_CHANGE_PAUSED_TO_PLAYING:
        st.core.Run();
        break;
    case GST_STATE_CHANGE_PLAYING_TO_PAUSED:
        st.core.Pause();
        break;
    case GST_STATE_CHANGE_PAUSED_TO_READY:
        st.core.Stop();
        break;
    default:
        break;
    }
    return GST_ELEMENT_CLASS(tds_audio_filter_parent_class)->change_state(element, transition);
}

void finalize(GObject* object) {
    self(object)->state.~unique_ptr();
    G_OBJECT_CLASS(tds_audio_filter_parent_class)->finalize(object);
}

void tds_audio_filter_class_init(TDSAudioFilterClass* klass) {
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    GstBaseTransformClass* transformClass = GST_BASE_TRANSFORM_CLASS(klass);
    objectClass->finalize = finalize;
    elementClass->change_state = changeState;
    transformClass->set_caps = setCaps;
    transformClass->transform_ip = transformIp;
    transformClass->sink_event = sinkEvent;
    transformClass->src_event = srcEvent;
    transformClass->passthrough_on_same_caps = FALSE;

    GstCaps* caps = gst_caps_from_string(kCaps);
    gst_element_class_add_pad_template(
        elementClass, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
    gst_element_class_add_pad_template(
        elementClass, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);
    gst_element_class_set_static_metadata(elementClass, "Tuval PCM tap", "Filter/Effect/Audio",
                                          "Feeds a deck's processors and visual history", "Tuval");
}

void tds_audio_filter_init(TDSAudioFilter* filter) {
    new (&filter->state) std::unique_ptr<ElementState>(std::make_unique<ElementState>());
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(filter), TRUE);
}

} // namespace

namespace tap {

GType AudioFilterType() {
    return tds_audio_filter_get_type();
}

bool RegisterAudioFilter() {
    GST_DEBUG_CATEGORY_INIT(tuval_tap_debug, "tuvaltap", 0, "Tuval PCM tap");
    return gst_element_register(nullptr, kAudioFilterFactory, GST_RANK_NONE, AudioFilterType());
}

AudioFilterCore* AudioFilterCoreOf(GstElement* element) {
    if (element == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(element, AudioFilterType()))
        return nullptr;
    return &stateOf(element).core;
}

std::optional<std::int64_t> CurrentStreamTime(GstElement* element) {
    GstClock* clock = gst_element_get_clock(element);
    if (clock == nullptr)
        return std::nullopt;
    const GstClockTime now = gst_clock_get_time(clock);
    gst_object_unref(clock);
    const GstClockTime base = gst_element_get_base_time(element);
    const GstClockTime latency = G_TYPE_CHECK_INSTANCE_TYPE(element, AudioFilterType())
                                     ? stateOf(element).latency.load()
                                     : 0;
    const auto running = static_cast<std::int64_t>(now) - static_cast<std::int64_t>(base) -
                         static_cast<std::int64_t>(latency);
    return running / 100;
}

} // namespace tap
