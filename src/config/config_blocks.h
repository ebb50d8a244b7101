// The configuration blocks of the operating-system image: tagged items in its first 96 KB
// that carry the guest's copy of the settings. The host reads its settings from them and
// writes the final values back before the image is loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// CRC-32 with the reflected polynomial $EDB88320 (as zlib and PNG compute it).
uint32_t crc32Of(const std::string& text);

// Scans `copy` for blocks, records the data offset of each item in every table entry with
// the same tag (offsets are cleared first) and returns the image's version text (the
// first four characters of the "Generic settings" block's version; empty without one).
// A block or item that would run past the end of the copy ends the walk.
std::string scanConfigBlocks(const uint8_t* copy, size_t size);

// Block items → settings, for every entry that has a block offset.
void blocksToSettings(const uint8_t* copy, size_t size);

// Settings → block items. With `fillScreenSize`, a resolution of 0 is first replaced by
// the host screen's size where the host can tell it.
void settingsToBlocks(uint8_t* copy, size_t size, bool fillScreenSize);

// Host services the block conversion needs: the names of the host's printers (a block
// holds only their CRC-32) and the host screen size (0 × 0 when unknown). The printing
// and display layers install them; without them no printer is known and the size is 0.
void setHostPrinterNamesProvider(std::function<std::vector<std::string>()> provider);
// The host's printers through that provider (none without one).
std::vector<std::string> knownHostPrinterNames();
void setHostScreenSizeProvider(std::function<void(int& width, int& height)> provider);
