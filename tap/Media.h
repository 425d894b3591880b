#pragma once

namespace tap {

// Initialises GStreamer and registers the tap element. The one place that does either;
// safe to call from any thread any number of times. False when the tap cannot be registered.
bool initialiseMedia();

} // namespace tap
