#include "app/JpegImage.h"

#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <vector>

namespace {

// A width x height JPEG whose left half is red and right half blue.
std::vector<std::uint8_t> encodeHalves(int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    for (int x = 0; x < width; ++x) {
        const bool left = x < width / 2;
        row[x * 3 + 0] = left ? 255 : 0;
        row[x * 3 + 2] = left ? 0 : 255;
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

bool near(QColor actual, QColor expected) {
    return std::abs(actual.red() - expected.red()) < 24 &&
           std::abs(actual.green() - expected.green()) < 24 &&
           std::abs(actual.blue() - expected.blue()) < 24;
}

} // namespace

TEST(JpegImage, DecodesSizeAndColours) {
    const auto bytes = encodeHalves(64, 48);
    const auto image = app::decodeJpeg(bytes);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->size(), QSize(64, 48));
    EXPECT_TRUE(near(image->pixelColor(8, 24), Qt::red));
    EXPECT_TRUE(near(image->pixelColor(56, 24), Qt::blue));
}

TEST(JpegImage, RefusesWhatIsNotAWholeJpeg) {
    const auto bytes = encodeHalves(64, 48);
    const std::vector<std::uint8_t> truncated(bytes.begin(), bytes.begin() + bytes.size() / 2);
    std::vector<std::uint8_t> garbage(bytes.size(), 0x5a);
    std::vector<std::uint8_t> badHeader = bytes;
    badHeader[2] = 0x00; // the marker after SOI
    EXPECT_FALSE(app::decodeJpeg(truncated).has_value());
    EXPECT_FALSE(app::decodeJpeg(garbage).has_value());
    EXPECT_FALSE(app::decodeJpeg(badHeader).has_value());
    EXPECT_FALSE(app::decodeJpeg({}).has_value());
    const std::uint8_t soiOnly[] = {0xff, 0xd8};
    EXPECT_FALSE(app::decodeJpeg(soiOnly).has_value());
}
