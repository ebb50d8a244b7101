// Converting the guest screen into host pixels: one update pass over the dirty maps (or
// the whole screen after a full-redraw request) into a host surface, and a headless
// frame that owns such a surface, for tests, snapshots and a window to draw from.
#pragma once

#include "display/pixel_formats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct HostSurface {
    uint8_t* base = nullptr;  // pixel (0, 0)
    size_t pitch = 0;         // bytes per host line
};

// Where a pass converted, in guest pixels: a few bands of neighbouring lines, each with
// the columns its lines touched, so that a window redraws and sends on only those.
struct ChangedArea {
    static constexpr unsigned MaxBands = 8;
    struct Band {
        unsigned left, top, right, bottom;  // right and bottom exclusive
    };
    Band bands[MaxBands];
    unsigned count = 0;
    bool whole = false;  // everything (a full redraw, or a present asked for)

    bool empty() const { return !whole && count == 0; }
    // Adds columns [left, right) of `line`. Lines come in rising order; a line next to the
    // last band widens it, and past MaxBands the last band grows to take the rest in.
    void addLine(unsigned line, unsigned left, unsigned right);
};

// One update pass (takes the screen lock): after a full-redraw request converts every
// cell, otherwise every cell marked since the last pass, taking the map words with atomic
// exchange so that a concurrent mark is never lost. The surface must hold the current
// guest size in the current host format. Returns true when anything was converted;
// `changed`, when given, receives where.
bool screenUpdateSurface(const HostSurface& surface, ChangedArea* changed = nullptr);

// Converts every cell of the screen without touching the maps.
void screenConvertAll(const HostSurface& surface);

// A host-memory surface of the guest screen's size.
class HeadlessFrame {
public:
    // Drops the old picture; the new one starts black (all bytes 0).
    void resize(unsigned width, unsigned height, HostFormat format);
    bool update() { return screenUpdateSurface(surface()); }
    HostSurface surface() { return {pixels_.data(), pitch_}; }

    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    HostFormat format() const { return format_; }
    size_t pitch() const { return pitch_; }
    const std::vector<uint8_t>& bytes() const { return pixels_; }
    // The colour of pixel (x, y) as 0xRRGGBB, decoded from the host format.
    uint32_t rgb(unsigned x, unsigned y) const;
    // Writes the picture as an 8-bit RGB PNG file. False when the file cannot be written.
    bool writePng(const std::string& path) const;

private:
    std::vector<uint8_t> pixels_;
    unsigned width_ = 0, height_ = 0;
    size_t pitch_ = 0;
    HostFormat format_ = HostFormat::Bgr0;
};
