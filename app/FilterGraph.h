#pragma once

#include "tap/FilterComponent.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <gst/gst.h>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

namespace app {

// Engine event codes raised through OnDSEvent.
enum DSEventCode : int {
    kEcComplete = 1,       // end of stream
    kEcErrorAbort = 3,     // the engine stopped on an error; Param1 is the result code
    kEcClockChanged = 13,  // the pipeline chose a new clock
    kEcPaused = 14,        // a pause request has completed
    kEcLengthChanged = 30, // the duration changed
};

// Notices a graph sends its control components (the position slider).
enum ControlNotice : int {
    kNoticePlay = 0,
    kNoticePause = 1,
    kNoticeStop = 2,
    kNoticeRender = 3,
    kNoticeRendered = 4,
    kNoticeActivation = 7, // parameter 1 after activation, 0 before deactivation
};

// Result codes reported with engine failures.
constexpr std::uint32_t kE_UNEXPECTED = 0x8000FFFFu;
constexpr std::uint32_t kE_FAIL = 0x80004005u;
constexpr std::uint32_t kFileNotFound = 0x80070002u;
constexpr std::uint32_t kVFW_E_INVALID_FILE_FORMAT = 0x8004022Fu;
constexpr std::uint32_t kVFW_E_UNSUPPORTED_STREAM = 0x80040265u;

// Volume v (clamped to 0..10000) as the engine receives it: v - 10000 hundredths of a dB.
int VolumeToHundredthsDb(int volume);
// Linear gain of an attenuation in hundredths of a dB; -10000 and below is silence.
double HundredthsDbToGain(int hundredths);
// Stereo panorama (-1 left .. 1 right) that attenuates one side by |balance| hundredths of
// a dB: a negative balance attenuates the right side, a positive one the left.
double BalanceToPanorama(int balance);

// An engine failure: the engine's text followed by " ($code).".
class TFilterGraphError : public std::runtime_error {
public:
    TFilterGraphError(const QString& engineText, std::uint32_t code);
    std::uint32_t Code() const { return m_code; }

private:
    std::uint32_t m_code;
};

// Told about a graph's state changes and events (UI thread).
class IDSControlComponent {
public:
    virtual ~IDSControlComponent() = default;
    virtual void ControlNotify(int notice, int param) = 0;
    virtual void ControlEvent(int event, int param1, int param2) = 0;
    virtual void GraphDestroyed() = 0;
};

// One deck's playback graph over a GStreamer playbin whose audio path runs through the
// attached filter components (the tap):
//   decoder ! audioconvert ! capsfilter(PCM the tap takes) ! <filters> ! audioconvert
//           ! audiopanorama (balance) ! playbin's volume ! sink from TUVAL_AUDIO_SINK
// All operations belong to the UI thread. Bus messages reach the UI thread in one place
// (onBusMessage); those of a stream the graph has since cleared are flushed from the bus
// when it is cleared, so they never arrive.
class TFilterGraph : public QObject, public tap::IDSFilterList {
    Q_OBJECT

public:
    using TOnDSEvent = std::function<void(QObject* Sender, int Event, int Param1, int Param2)>;

    explicit TFilterGraph(QObject* parent = nullptr);
    ~TFilterGraph() override;
    TFilterGraph(const TFilterGraph&) = delete;
    TFilterGraph& operator=(const TFilterGraph&) = delete;

    bool Active() const { return m_pipeline != nullptr; }
    void SetActive(bool active);

    // Builds the chain for the file and prerolls it; throws TFilterGraphError on failure.
    // Returns a non-zero code without throwing when the graph is not active.
    std::uint32_t RenderFile(const QString& path);
    bool Play();
    bool Pause(); // true when the pause completed at once; kEcPaused follows either way
    bool Stop();
    void ClearGraph();
    int State() const; // 0 Uninitialized, 1 Stopped, 2 Paused, 3 Playing

    int Volume() const { return m_volume; }
    void SetVolume(int volume);
    int Balance() const { return m_balance; }
    void SetBalance(int balance);
    double Rate() const { return m_rate; }
    void SetRate(double rate);
    bool LinearVolume() const { return false; }

    std::uint32_t Duration() const; // ms; 0 when not active
    void SeekToStart();

    // The seeking interface, in 100-ns units.
    std::optional<std::int64_t> CurrentPosition() const;
    std::optional<std::int64_t> StopPosition() const;
    bool SetCurrentPosition(std::int64_t position);

    // tap::IDSFilterList
    void InsertFilter(tap::IDSFilterComponent* filter) override;
    void RemoveFilter(tap::IDSFilterComponent* filter) override;
    void InsertControl(IDSControlComponent* control);
    void RemoveControl(IDSControlComponent* control);

    // The linear gain and panorama the engine was last given.
    double EngineGain() const;
    double EnginePanorama() const;

    TOnDSEvent OnDSEvent;

private:
    static GstBusSyncReply busSync(GstBus* bus, GstMessage* message, gpointer graph);
    void drainBus();                        // UI thread
    void onBusMessage(GstMessage* message); // UI thread
    void flushBus();
    void raiseEvent(int event, int param1, int param2);
    void notifyControls(int notice, int param);
    void noteRenderError(GstMessage* message); // any thread

    bool buildAudioFilter();
    void removeFilters();
    bool createPipeline();
    void destroyPipeline();
    void resetStream(bool rebuild = false);
    void applySettings();
    void postPauseDone();
    void requestState(GstState state);
    [[noreturn]] void failRender(const QString& text, std::uint32_t code);

    GstElement* m_pipeline = nullptr; // owned; playbin
    GstElement* m_filterBin = nullptr;
    GstElement* m_panorama = nullptr;
    std::vector<tap::IDSFilterComponent*> m_filters;
    std::vector<IDSControlComponent*> m_controls;
    std::atomic<bool> m_drainQueued{false};
    int m_state = 1;
    bool m_loaded = false;
    bool m_pausePending = false;
    int m_volume = 10000;
    int m_balance = 0;
    double m_rate = 1.0;

    std::mutex m_errorLock; // the bus's posting threads against the UI thread
    std::optional<std::pair<QString, std::uint32_t>> m_renderError;
};

} // namespace app
