#include "display/png_file.h"

#include <png.h>

bool writeRgbPng(const std::string& path, unsigned width, unsigned height, const std::vector<uint8_t>& rgb)
{
    constexpr size_t BytesPerPixel = 3;
    const size_t rowBytes = size_t(width) * BytesPerPixel;
    if (width == 0 || height == 0 || rgb.size() < rowBytes * height) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    // The library removes a file it could not finish.
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), png_int_32(rowBytes), nullptr) != 0;
    png_image_free(&image);
    return ok;
}
