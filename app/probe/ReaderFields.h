#pragma once

#include "JsonObject.h"

#include <string>

namespace tags {
class TMPEGaudio;
class TWMAfile;
class TWAVfile;
} // namespace tags

namespace app {

// Every field of a reader after LoadFromFile, for the probe's nested objects.
JsonObject mpegFields(const tags::TMPEGaudio& mp3, bool loaded);
JsonObject wmaFields(const tags::TWMAfile& wma, bool loaded);
JsonObject wavFields(const tags::TWAVfile& wav, bool loaded);

std::string utf8(const std::u16string& wide);

} // namespace app
