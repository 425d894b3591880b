#include "app/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace app {
namespace {

// libjpeg ends on errors through error_exit, which must not return: it jumps back to
// decodeJpeg. No object with a destructor is created between the setjmp and the jumps.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void leave(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// Warnings (a truncated or damaged stream among them) are counted, not printed.
void countWarning(j_common_ptr info, int level) {
    if (level < 0)
        ++info->err->num_warnings;
}

bool readInto(jpeg_decompress_struct& info, ErrorManager& errors, QImage& image) {
    if (setjmp(errors.escape))
        return false;
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    info.out_color_space = JCS_EXT_BGRX; // QImage::Format_RGB32 byte order on little endian
    if (!jpeg_start_decompress(&info))
        return false;
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGB32);
    if (image.isNull())
        return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            return false;
    }
    return jpeg_finish_decompress(&info) == TRUE;
}

} // namespace

std::optional<QImage> decodeJpeg(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        return std::nullopt;
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = leave;
    errors.base.emit_message = countWarning;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    QImage image;
    const bool ok = readInto(info, errors, image) && errors.base.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    if (!ok)
        return std::nullopt;
    return image;
}

} // namespace app
