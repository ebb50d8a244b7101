// Pictures written as PNG files, for snapshots of the guest screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 8-bit RGB rows (3 bytes per pixel, top line first) as a PNG file. False when the rows
// are fewer than the size asks, the size is empty, or the file cannot be written.
bool writeRgbPng(const std::string& path, unsigned width, unsigned height, const std::vector<uint8_t>& rgb);
