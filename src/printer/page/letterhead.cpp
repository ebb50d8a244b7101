#include "printer/page/letterhead.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include "printer/settings/settings.h"
#include "printer/base/trace.h"

namespace zemprint {

namespace {

constexpr double kTenthsMmPerInch = 254.0;
constexpr double kTwipsPerInch = 1440.0;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

void silence(j_common_ptr, int) {}

// libjpeg reports errors by longjmp; nothing with a destructor may live
// between the setjmp and the calls that can jump, so the image is filled
// through a plain pointer.
bool decode(std::FILE* file, QImage& image)
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.emit_message = silence;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
    if (image.isNull() || info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

std::optional<QImage> loadJpeg(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    QImage image;
    const bool ok = decode(file, image);
    std::fclose(file);
    if (!ok) return std::nullopt;
    return image;
}

std::optional<Letterhead> loadLetterhead(const TSettings& settings)
{
    const StoredSettings& values = settings.values();
    if (values.letterheadFile.empty()) return std::nullopt;
    auto image = loadJpeg(values.letterheadFile);
    if (!image || values.letterheadDpi <= 0) {
        debugTraceF("Error while loading heading bitmap \"%s\"", values.letterheadFile.c_str());
        return std::nullopt;
    }
    Letterhead head;
    head.left = static_cast<int>(values.letterheadLeft / kTenthsMmPerInch * kTwipsPerInch);
    head.top = static_cast<int>(values.letterheadTop / kTenthsMmPerInch * kTwipsPerInch);
    head.width = static_cast<int>(static_cast<double>(image->width()) / values.letterheadDpi * kTwipsPerInch);
    head.height = static_cast<int>(static_cast<double>(image->height()) / values.letterheadDpi * kTwipsPerInch);
    head.firstPageOnly = values.letterheadFirstPageOnly;
    head.image = std::move(*image);
    return head;
}

}  // namespace zemprint
