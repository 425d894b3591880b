#include "app/FilterGraph.h"

#include "tap/Media.h"

#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace app {

namespace {

constexpr const char* kPauseDone = "tuval-pause-done";
constexpr const char* kDefaultSink = "autoaudiosink";
constexpr GstClockTime kPrerollTimeout = 15 * GST_SECOND;
// playbin flags: audio only, with its own software volume.
constexpr unsigned kPlayFlagAudio = 1u << 1;
constexpr unsigned kPlayFlagSoftVolume = 1u << 4;
constexpr const char* kTapCaps =
    "audio/x-raw, format=(string){ U8, S16LE, S24LE, S32LE, F32LE }, layout=(string)interleaved";

std::uint32_t resultCodeOf(const GError* error) {
    if (error == nullptr)
        return kE_FAIL;
    if (error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_NOT_FOUND)
        return kFileNotFound;
    if (error->domain == GST_STREAM_ERROR) {
        switch (error->code) {
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
            return kVFW_E_UNSUPPORTED_STREAM;
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_FORMAT:
            return kVFW_E_INVALID_FILE_FORMAT;
        default:
            return kE_FAIL;
        }
    }
    if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN)
        return kVFW_E_UNSUPPORTED_STREAM;
    return kE_FAIL;
}

std::pair<QString, std::uint32_t> errorOf(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::pair<QString, std::uint32_t> result{QString::fromUtf8(error ? error->message : ""),
                                             resultCodeOf(error)};
    g_clear_error(&error);
    return result;
}

// The sink named by TUVAL_AUDIO_SINK, or the default one when unset or unusable.
GstElement* makeAudioSink() {
    const char* wanted = std::getenv("TUVAL_AUDIO_SINK");
    const char* description = (wanted != nullptr && *wanted != '\0') ? wanted : kDefaultSink;
    GError* error = nullptr;
    GstElement* sink = gst_parse_bin_from_description(description, TRUE, &error);
    if (sink == nullptr) {
        GST_WARNING("audio sink \"%s\" unusable: %s", description, error ? error->message : "");
        g_clear_error(&error);
        sink = gst_element_factory_make(kDefaultSink, nullptr);
    }
    return sink;
}

} // namespace

int VolumeToHundredthsDb(int volume) {
    return std::clamp(volume, 0, 10000) - 10000;
}

double HundredthsDbToGain(int hundredths) {
    if (hundredths <= -10000)
        return 0.0;
    return std::pow(10.0, hundredths / 2000.0);
}

double BalanceToPanorama(int balance) {
    const int b = std::clamp(balance, -10000, 10000);
    const double keep = HundredthsDbToGain(-std::abs(b));
    return b < 0 ? -(1.0 - keep) : 1.0 - keep;
}

TFilterGraphError::TFilterGraphError(const QString& engineText, std::uint32_t code)
    : std::runtime_error(QStringLiteral("%1 ($%2).").arg(engineText).arg(code, 0, 16).toStdString())
    , m_code(code) {}

TFilterGraph::TFilterGraph(QObject* parent)
    : QObject(parent) {}

TFilterGraph::~TFilterGraph() {
    SetActive(false);
    for (tap::IDSFilterComponent* f : m_filters)
        f->GraphDestroyed();
    for (IDSControlComponent* c : m_controls)
        c->GraphDestroyed();
}

void TFilterGraph::SetActive(bool active) {
    if (active == Active())
        return;
    if (!active) {
        notifyControls(kNoticeActivation, 0);
        destroyPipeline();
        m_loaded = false;
        m_state = 1;
        return;
    }
    tap::initialiseMedia();
    if (!createPipeline())
        return;
    applySettings();
    m_state = 1;
    notifyControls(kNoticeActivation, 1);
}

bool TFilterGraph::createPipeline() {
    m_pipeline = gst_element_factory_make("playbin", nullptr);
    if (m_pipeline == nullptr)
        return false;
    gst_object_ref_sink(m_pipeline);
    g_object_set(m_pipeline, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
    g_object_set(m_pipeline, "audio-sink", makeAudioSink(), nullptr);
    buildAudioFilter();
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, &TFilterGraph::busSync, this, nullptr);
    gst_object_unref(bus);
    return true;
}

void TFilterGraph::destroyPipeline() {
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    flushBus();
    removeFilters();
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(m_pipeline);
    m_pipeline = m_filterBin = m_panorama = nullptr;
}

bool TFilterGraph::buildAudioFilter() {
    m_filterBin = gst_bin_new("tapchain");
    GstElement* convertIn = gst_element_factory_make("audioconvert", nullptr);
    GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
    GstElement* convertOut = gst_element_factory_make("audioconvert", nullptr);
    m_panorama = gst_element_factory_make("audiopanorama", nullptr);
    if (!convertIn || !caps || !convertOut || !m_panorama) {
        GST_ERROR("missing audioconvert, capsfilter or audiopanorama");
        return false;
    }
    GstCaps* tapCaps = gst_caps_from_string(kTapCaps);
    g_object_set(caps, "caps", tapCaps, nullptr);
    gst_caps_unref(tapCaps);
    g_object_set(m_panorama, "method", 1 /* simple: attenuate one side */, nullptr);
    gst_bin_add_many(GST_BIN(m_filterBin), convertIn, caps, nullptr);
    GstElement* last = caps;
    gst_element_link(convertIn, caps);
    for (tap::IDSFilterComponent* f : m_filters) {
        GstElement* element = f->PlatformFilter();
        if (element == nullptr)
            continue;
        f->FilterListNotify(tap::kBeforeAdd);
        gst_element_set_name(element, f->ComponentName().toUtf8().constData());
        gst_bin_add(GST_BIN(m_filterBin), element);
        gst_element_link(last, element);
        last = element;
        f->FilterListNotify(tap::kAfterAdd);
    }
    gst_bin_add_many(GST_BIN(m_filterBin), convertOut, m_panorama, nullptr);
    gst_element_link_many(last, convertOut, m_panorama, nullptr);
    GstPad* sink = gst_element_get_static_pad(convertIn, "sink");
    GstPad* src = gst_element_get_static_pad(m_panorama, "src");
    gst_element_add_pad(m_filterBin, gst_ghost_pad_new("sink", sink));
    gst_element_add_pad(m_filterBin, gst_ghost_pad_new("src", src));
    gst_object_unref(sink);
    gst_object_unref(src);
    g_object_set(m_pipeline, "audio-filter", m_filterBin, nullptr);
    return true;
}

// Takes the filter components out of the stopped engine graph; they keep their elements.
void TFilterGraph::removeFilters() {
    for (tap::IDSFilterComponent* f : m_filters) {
        GstElement* element = f->PlatformFilter();
        if (element == nullptr || GST_OBJECT_PARENT(element) != GST_OBJECT(m_filterBin))
            continue;
        f->FilterListNotify(tap::kBeforeRemove);
        gst_bin_remove(GST_BIN(m_filterBin), element);
        f->FilterListNotify(tap::kAfterRemove);
    }
}

void TFilterGraph::InsertFilter(tap::IDSFilterComponent* filter) {
    if (std::find(m_filters.begin(), m_filters.end(), filter) != m_filters.end())
        return;
    const bool wasActive = Active();
    SetActive(false); // the chain is rebuilt with the new filter in it
    m_filters.push_back(filter);
    SetActive(wasActive);
}

void TFilterGraph::RemoveFilter(tap::IDSFilterComponent* filter) {
    const auto it = std::find(m_filters.begin(), m_filters.end(), filter);
    if (it == m_filters.end())
        return;
    const bool wasActive = Active();
    SetActive(false);
    m_filters.erase(std::find(m_filters.begin(), m_filters.end(), filter));
    SetActive(wasActive);
}

void TFilterGraph::InsertControl(IDSControlComponent* control) {
    if (std::find(m_controls.begin(), m_controls.end(), control) == m_controls.end())
        m_controls.push_back(control);
}

void TFilterGraph::RemoveControl(IDSControlComponent* control) {
    std::erase(m_controls, control);
}

void TFilterGraph::notifyControls(int notice, int param) {
    const auto controls = m_controls; // a handler may detach itself
    for (IDSControlComponent* c : controls)
        c->ControlNotify(notice, param);
}

// Back to an empty graph: streaming threads joined, then what they posted is flushed from the
// bus so that no message of the old stream reaches the handler.
void TFilterGraph::resetStream(bool rebuild) {
    {
        const std::lock_guard lock(m_errorLock);
        rebuild = rebuild || m_renderError.has_value();
    }
    if (rebuild) {
        // After an error, parts of the failed stream may still post errors into the next
        // preroll and fail it: that stream's playbin is given up for a fresh one, with the
        // same filter components in it.
        destroyPipeline();
        createPipeline();
        applySettings();
    } else {
        // READY keeps what playbin can reuse for the next file.
        gst_element_set_state(m_pipeline, GST_STATE_READY);
        flushBus();
    }
    {
        const std::lock_guard lock(m_errorLock);
        m_renderError.reset();
    }
    m_pausePending = false;
    m_loaded = false;
    m_state = 1;
}

void TFilterGraph::failRender(const QString& text, std::uint32_t code) {
    resetStream(true);
    throw TFilterGraphError(text, code);
}

std::uint32_t TFilterGraph::RenderFile(const QString& path) {
    if (!Active())
        return kE_UNEXPECTED;
    notifyControls(kNoticeRender, 0);
    resetStream();
    if (!Active())
        return kE_UNEXPECTED;
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    g_object_set(m_pipeline, "uri", uri.constData(), nullptr);
    GstStateChangeReturn ret = gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_ASYNC)
        ret = gst_element_get_state(m_pipeline, nullptr, nullptr, kPrerollTimeout);
    // Only a failed preroll counts: an element of a stream torn down just before may still
    // post a late error, which says nothing about this file.
    if (ret == GST_STATE_CHANGE_FAILURE) {
        std::optional<std::pair<QString, std::uint32_t>> error;
        {
            const std::lock_guard lock(m_errorLock);
            error = m_renderError;
        }
        if (error)
            failRender(error->first, error->second);
        failRender(QStringLiteral("Internal data stream error."), kE_FAIL);
    }
    if (ret == GST_STATE_CHANGE_ASYNC)
        failRender(QStringLiteral("Timeout while prerolling."), kE_FAIL);
    gint audioStreams = 0;
    g_object_get(m_pipeline, "n-audio", &audioStreams, nullptr);
    if (audioStreams < 1)
        failRender(QStringLiteral("No audio stream found."), kVFW_E_UNSUPPORTED_STREAM);
    m_loaded = true;
    applySettings();
    notifyControls(kNoticeRendered, 0);
    return 0;
}

void TFilterGraph::requestState(GstState state) {
    if (gst_element_set_state(m_pipeline, state) == GST_STATE_CHANGE_FAILURE) {
        std::optional<std::pair<QString, std::uint32_t>> error;
        {
            const std::lock_guard lock(m_errorLock);
            error = m_renderError;
        }
        throw TFilterGraphError(error ? error->first : QStringLiteral("State change failed."),
                                error ? error->second : kE_FAIL);
    }
}

bool TFilterGraph::Play() {
    if (!Active())
        return false;
    notifyControls(kNoticePlay, 0);
    m_pausePending = false;
    if (m_loaded)
        requestState(GST_STATE_PLAYING);
    m_state = 3;
    return true;
}

bool TFilterGraph::Pause() {
    if (!Active())
        return false;
    notifyControls(kNoticePause, 0);
    m_pausePending = true;
    m_state = 2;
    if (!m_loaded) {
        postPauseDone();
        return true;
    }
    const GstStateChangeReturn ret = gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        m_pausePending = false;
        requestState(GST_STATE_PAUSED); // raises the engine's error
    }
    if (ret == GST_STATE_CHANGE_ASYNC)
        return false; // completes with the pipeline's ASYNC_DONE
    postPauseDone();
    return true;
}

// The pause completed at once: say so through the bus, in order with everything else.
void TFilterGraph::postPauseDone() {
    gst_element_post_message(
        m_pipeline,
        gst_message_new_application(GST_OBJECT(m_pipeline), gst_structure_new_empty(kPauseDone)));
}

bool TFilterGraph::Stop() {
    if (!Active())
        return false;
    notifyControls(kNoticeStop, 0);
    m_pausePending = false;
    // Stopped keeps the prerolled stream and its position, as a paused pipeline does.
    if (m_loaded)
        requestState(GST_STATE_PAUSED);
    m_state = 1;
    return true;
}

void TFilterGraph::ClearGraph() {
    if (!Active())
        return;
    resetStream(); // the filter chain, and so the tap, stays in playbin for the next file
}

int TFilterGraph::State() const {
    return Active() ? m_state : 0;
}

void TFilterGraph::SetVolume(int volume) {
    m_volume = std::clamp(volume, 0, 10000);
    applySettings();
}

void TFilterGraph::SetBalance(int balance) {
    m_balance = std::clamp(balance, -10000, 10000);
    applySettings();
}

void TFilterGraph::SetRate(double rate) {
    m_rate = rate;
    applySettings();
}

void TFilterGraph::applySettings() {
    if (!Active())
        return;
    g_object_set(m_pipeline, "volume", HundredthsDbToGain(VolumeToHundredthsDb(m_volume)), nullptr);
    if (m_panorama != nullptr)
        g_object_set(m_panorama, "panorama", static_cast<float>(BalanceToPanorama(m_balance)),
                     nullptr);
    if (m_loaded && m_rate != 1.0) {
        gint64 position = 0;
        gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position);
        gst_element_seek(m_pipeline, m_rate, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                         GST_SEEK_TYPE_SET, position, GST_SEEK_TYPE_NONE, -1);
    }
}

double TFilterGraph::EngineGain() const {
    gdouble gain = 0;
    if (Active())
        g_object_get(m_pipeline, "volume", &gain, nullptr);
    return gain;
}

double TFilterGraph::EnginePanorama() const {
    gfloat panorama = 0;
    if (m_panorama != nullptr)
        g_object_get(m_panorama, "panorama", &panorama, nullptr);
    return panorama;
}

std::uint32_t TFilterGraph::Duration() const {
    const std::optional<std::int64_t> d = StopPosition();
    return d ? static_cast<std::uint32_t>(*d / 10000) : 0;
}

std::optional<std::int64_t> TFilterGraph::CurrentPosition() const {
    gint64 ns = 0;
    if (!m_loaded || !gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &ns))
        return std::nullopt;
    return ns / 100;
}

std::optional<std::int64_t> TFilterGraph::StopPosition() const {
    gint64 ns = 0;
    if (!m_loaded || !gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &ns))
        return std::nullopt;
    return ns / 100;
}

bool TFilterGraph::SetCurrentPosition(std::int64_t position) {
    if (!m_loaded)
        return false;
    return gst_element_seek(m_pipeline, m_rate, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            GST_SEEK_TYPE_SET, std::max<std::int64_t>(position, 0) * 100,
                            GST_SEEK_TYPE_NONE, -1);
}

void TFilterGraph::SeekToStart() {
    SetCurrentPosition(0);
}

// Posting thread (streaming threads, or the UI thread itself). Messages stay on the bus; the
// UI thread is asked once to drain it.
GstBusSyncReply TFilterGraph::busSync(GstBus*, GstMessage* message, gpointer graph) {
    auto* self = static_cast<TFilterGraph*>(graph);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        self->noteRenderError(message);
    if (!self->m_drainQueued.exchange(true))
        QMetaObject::invokeMethod(self, &TFilterGraph::drainBus, Qt::QueuedConnection);
    return GST_BUS_PASS;
}

// UI thread. A handler may pump the event loop or clear the graph, so the bus is looked up
// again for every message.
void TFilterGraph::drainBus() {
    m_drainQueued.store(false);
    while (Active()) {
        GstBus* bus = gst_element_get_bus(m_pipeline);
        GstMessage* message = gst_bus_pop(bus);
        gst_object_unref(bus);
        if (message == nullptr)
            return;
        onBusMessage(message);
        gst_message_unref(message);
    }
}

// Drops whatever the bus still holds: messages of a stream that has just been cleared.
void TFilterGraph::flushBus() {
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_flushing(bus, TRUE);
    gst_bus_set_flushing(bus, FALSE);
    gst_object_unref(bus);
}

// Any thread: keeps the first error of the current stream for RenderFile to report.
void TFilterGraph::noteRenderError(GstMessage* message) {
    const std::lock_guard lock(m_errorLock);
    if (!m_renderError)
        m_renderError = errorOf(message);
}

// UI thread: the one place where bus messages become the graph's events.
void TFilterGraph::onBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        raiseEvent(kEcComplete, 0, 0);
        break;
    case GST_MESSAGE_ERROR:
        raiseEvent(kEcErrorAbort, static_cast<int>(errorOf(message).second), 0);
        break;
    case GST_MESSAGE_ASYNC_DONE:
    case GST_MESSAGE_APPLICATION:
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_APPLICATION &&
            !gst_message_has_name(message, kPauseDone))
            break;
        if (m_pausePending) {
            m_pausePending = false;
            raiseEvent(kEcPaused, 0, 0);
        }
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        raiseEvent(kEcLengthChanged, 0, 0);
        break;
    case GST_MESSAGE_NEW_CLOCK:
        raiseEvent(kEcClockChanged, 0, 0);
        break;
    default:
        break;
    }
}

void TFilterGraph::raiseEvent(int event, int param1, int param2) {
    const auto controls = m_controls;
    for (IDSControlComponent* c : controls)
        c->ControlEvent(event, param1, param2);
    if (OnDSEvent)
        OnDSEvent(this, event, param1, param2);
}

} // namespace app
