// Snapshots as PNG files: what is written reads back pixel for pixel, and what cannot be
// written is reported.
#include "display/png_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <png.h>

namespace {

std::vector<uint8_t> readRgbPng(const std::string& path, unsigned& width, unsigned& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    width = image.width;
    height = image.height;
    return pixels;
}

TEST(PngFile, RowsReadBackExactlyAndBadInputIsRefused)
{
    zemtest::TempDir dir("zem-png");
    // Three pixels a row, so rows are not a multiple of four bytes.
    const std::vector<uint8_t> rgb = {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,
                                      0x12, 0x34, 0x56, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00};
    ASSERT_TRUE(writeRgbPng(dir.file("a.png"), 3, 2, rgb));
    unsigned width = 0, height = 0;
    EXPECT_EQ(readRgbPng(dir.file("a.png"), width, height), rgb);
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(height, 2u);

    EXPECT_FALSE(writeRgbPng(dir.file("short.png"), 3, 3, rgb));
    EXPECT_FALSE(writeRgbPng(dir.file("empty.png"), 0, 0, {}));
    EXPECT_FALSE(writeRgbPng(dir.file("missing/b.png"), 3, 2, rgb));
}

}  // namespace
