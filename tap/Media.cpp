#include "tap/Media.h"

#include "tap/DSAudioFilter.h"

#include <gst/gst.h>
#include <mutex>

namespace tap {

bool initialiseMedia() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        registered = RegisterAudioFilter();
    });
    return registered;
}

} // namespace tap
