// The letterhead: a JPEG image from the settings, decoded with libjpeg and
// printed under each page (or the first page only).
#pragma once

#include <QImage>
#include <optional>
#include <string>

namespace zemprint {

class TSettings;

// Decodes a JPEG file into a 24-bit image; nullopt on any failure.
std::optional<QImage> loadJpeg(const std::string& path);

struct Letterhead {
    QImage image;
    int left = 0;  // twips
    int top = 0;
    int width = 0;
    int height = 0;
    bool firstPageOnly = false;
};

// The letterhead the settings name; nullopt when none is set or it cannot be
// loaded (which is traced whatever the Debug setting).
std::optional<Letterhead> loadLetterhead(const TSettings& settings);

}  // namespace zemprint
