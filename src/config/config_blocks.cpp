#include "config/config_blocks.h"

#include "config/settings.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace {

constexpr uint8_t BlockMarker[] = {'<', '<', 'Q', 'C', 'F', 'X', '>', '>', '0', '2'};
constexpr size_t MarkerSize = sizeof(BlockMarker);
// The scan stops this far before the end of the copy: the smallest block (marker, two
// empty texts, one item) could not start later.
constexpr size_t ScanTail = 33;
constexpr size_t ItemSize = 16;
constexpr size_t ItemOffsetField = 6;
constexpr uint16_t EndOfItems = 0xFFFF;
constexpr char GenericBlockName[] = "Generic settings";
constexpr size_t GenericNameLength = sizeof(GenericBlockName) - 1;
constexpr size_t VersionLength = 4;

std::function<std::vector<std::string>()> printerNamesProvider;
std::function<void(int&, int&)> screenSizeProvider;

uint16_t readWord(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
size_t roundUpEven(size_t n) { return (n + 1) & ~size_t(1); }

// The number of data bytes an item of this entry's type occupies (text: the characters
// as far as the count byte before them says, checked separately).
size_t dataSize(const SettingEntry& e)
{
    switch (e.type) {
    case SettingType::Byte:
    case SettingType::Priority:
        return 1;
    case SettingType::Integer:
        return 2;
    case SettingType::Printer:
        return 4;
    default:
        return 0;
    }
}

// True when the entry's data lies wholly inside the copy; text also needs its count byte.
bool dataInside(const SettingEntry& e, size_t size)
{
    if (e.blockOffset == 0 || e.blockOffset >= size) return false;
    if (e.isText()) return e.blockOffset >= 1;
    return e.blockOffset + dataSize(e) <= size;
}

}  // namespace

uint32_t crc32Of(const std::string& text)
{
    return uint32_t(crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()), text.size()));
}

void setHostPrinterNamesProvider(std::function<std::vector<std::string>()> provider)
{
    printerNamesProvider = std::move(provider);
}

std::vector<std::string> knownHostPrinterNames()
{
    return printerNamesProvider ? printerNamesProvider() : std::vector<std::string>{};
}

void setHostScreenSizeProvider(std::function<void(int&, int&)> provider) { screenSizeProvider = std::move(provider); }

std::string scanConfigBlocks(const uint8_t* copy, size_t size)
{
    std::vector<SettingEntry>& table = settingsTable();
    for (SettingEntry& e : table) e.blockOffset = 0;
    std::string version;
    if (size < ScanTail) return version;

    size_t pos = 0;
    while (pos <= size - ScanTail) {
        if (memcmp(copy + pos, BlockMarker, MarkerSize) != 0) {
            ++pos;
            continue;
        }
        size_t p = pos + MarkerSize;
        const size_t nameLength = readWord(copy + p);
        const size_t nameAt = p + 2;
        p = nameAt + roundUpEven(nameLength);
        if (p + 2 > size) break;
        const size_t versionLength = readWord(copy + p);
        const size_t versionAt = p + 2;
        p = versionAt + roundUpEven(versionLength);
        if (p > size) break;
        if (nameLength >= GenericNameLength && memcmp(copy + nameAt, GenericBlockName, GenericNameLength) == 0)
            version.assign(reinterpret_cast<const char*>(copy + versionAt), std::min(versionLength, VersionLength));

        // Items until the end word; a block cut off by the end of the copy ends there.
        bool ended = false;
        while (p + 2 <= size) {
            if (readWord(copy + p) == EndOfItems) {
                ended = true;
                break;
            }
            if (p + ItemSize > size) break;
            const uint32_t tag = uint32_t(copy[p]) << 24 | uint32_t(copy[p + 1]) << 16 | uint32_t(copy[p + 2]) << 8 |
                                 uint32_t(copy[p + 3]);
            const int16_t relative = int16_t(readWord(copy + p + ItemOffsetField));
            const long long data = static_cast<long long>(p + ItemOffsetField) + relative;
            if (data > 0 && data < static_cast<long long>(size)) {
                for (SettingEntry& e : table)
                    if (e.tag != 0 && e.tag == tag) e.blockOffset = uint32_t(data);
            }
            p += ItemSize;
        }
        if (!ended) break;
        pos = p + 2;
    }
    return version;
}

void blocksToSettings(const uint8_t* copy, size_t size)
{
    std::vector<std::string> printers;
    bool printersListed = false;
    for (SettingEntry& e : settingsTable()) {
        if (!e.hasVariable() || !dataInside(e, size)) continue;
        const uint8_t* d = copy + e.blockOffset;
        switch (e.type) {
        case SettingType::Byte:
            *static_cast<uint8_t*>(e.variable) = d[0];
            break;
        case SettingType::Integer:
            *static_cast<int*>(e.variable) = int16_t(readWord(d));
            break;
        case SettingType::Priority: {
            // An index that names no priority leaves the setting as it was.
            int priority = 0;
            if (priorityFromIndex(d[0], priority)) *static_cast<int*>(e.variable) = priority;
            break;
        }
        case SettingType::Printer: {
            const uint32_t crc = uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
            if (!printersListed) {
                if (printerNamesProvider) printers = printerNamesProvider();
                printersListed = true;
            }
            const int port = e.printerPort - 1;
            settings.ParallelPrinter[port].clear();
            for (const std::string& name : printers) {
                if (crc32Of(name) == crc) {
                    settings.ParallelPrinter[port] = name;
                    // Only a printer this host knows turns the port to it; otherwise the
                    // port keeps the output its own item chose.
                    settings.ParallelPort[port] = ParallelModePrinter;
                    break;
                }
            }
            break;
        }
        default: {
            size_t count = d[-1];
            count = std::min({count, e.maxTextLength(), size - e.blockOffset});
            *static_cast<std::string*>(e.variable) = std::string(reinterpret_cast<const char*>(d), count);
            break;
        }
        }
    }
}

void settingsToBlocks(uint8_t* copy, size_t size, bool fillScreenSize)
{
    if (fillScreenSize && (settings.ResolutionX == 0 || settings.ResolutionY == 0) && screenSizeProvider) {
        int width = 0, height = 0;
        screenSizeProvider(width, height);
        if (settings.ResolutionX == 0) settings.ResolutionX = width;
        if (settings.ResolutionY == 0) settings.ResolutionY = height;
    }
    for (SettingEntry& e : settingsTable()) {
        if (!e.hasVariable() || !dataInside(e, size)) continue;
        uint8_t* d = copy + e.blockOffset;
        switch (e.type) {
        case SettingType::Byte:
            d[0] = *static_cast<uint8_t*>(e.variable);
            break;
        case SettingType::Integer: {
            const uint32_t v = uint32_t(*static_cast<int*>(e.variable));
            d[0] = uint8_t(v >> 8);
            d[1] = uint8_t(v);
            break;
        }
        case SettingType::Priority:
            d[0] = uint8_t(priorityToIndex(*static_cast<int*>(e.variable)));
            break;
        case SettingType::Printer: {
            const std::string& name = settings.ParallelPrinter[e.printerPort - 1];
            const uint32_t crc = name.empty() ? 0 : crc32Of(name);
            for (int i = 0; i < 4; ++i) d[i] = uint8_t(crc >> (8 * i));
            break;
        }
        default: {
            const std::string& text = *static_cast<std::string*>(e.variable);
            const size_t count = std::min({text.size(), e.maxTextLength(), size - e.blockOffset});
            d[-1] = uint8_t(count);
            memcpy(d, text.data(), count);
            break;
        }
        }
    }
}
