#pragma once

#include <QImage>
#include <cstdint>
#include <optional>
#include <span>

namespace app {

// Decodes a baseline or progressive JPEG held in memory with libjpeg; nothing when the
// bytes are not a whole, readable JPEG image.
std::optional<QImage> decodeJpeg(std::span<const std::uint8_t> bytes);

} // namespace app
