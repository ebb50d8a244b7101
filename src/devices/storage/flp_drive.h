// One floppy drive: an image file or a raw host floppy device, with a read cache of one
// track per head and a write-back cache of one cylinder, so that a guest writing a track
// sector by sector costs few host writes. Free of the processor, so tests drive it
// directly.
#pragma once

#include "platform/host_block_file.h"

#include <cstdint>
#include <string>
#include <vector>

struct FloppyImageSize {
    uint64_t bytes;
    unsigned sectorsPerTrack;
    unsigned sectorBytes;
    unsigned tracks;
};
inline constexpr FloppyImageSize FloppyImageSizes[] = {
    {368640, 9, 512, 40},
    {737280, 9, 512, 80},
    {1474560, 18, 512, 80},
    {3276800, 10, 2048, 80},
};
constexpr unsigned FloppyMaxSectorsPerTrack = 18;
constexpr unsigned FloppyMaxSectorBytes = 2048;
constexpr unsigned FloppyNoTrack = 255;
// The track a flush records: no track has this number.
constexpr unsigned FloppyFlushTrack = 254;

enum class FloppyOpenState : uint8_t { Closed = 0, Physical = 1, Image = 2 };

class FloppyDrive {
public:
    std::string name;

    // Opens on demand; 0 or a guest error.
    int32_t open();
    // Closes without writing back (callers write back first), forgetting every cache.
    void close();
    // Sector counted from 1, as the guest addresses it. `out` holds sectorBytes().
    int32_t readSector(unsigned track, unsigned head, unsigned sector, uint8_t* out);
    int32_t writeSector(unsigned track, unsigned head, unsigned sector, const uint8_t* in);
    // Writes back and closes; the write-back's result.
    int32_t flushAndClose();
    // 0 writable or nothing there, 0xFF write-protected, or an error.
    int32_t checkMedium();
    // Sectors per track made (0 when refused or failed); `sectorsPerTrack` 0xFF: automatic.
    unsigned format(unsigned sectorsPerTrack, unsigned tracks, unsigned heads);
    // Writes back the write-back cache unless it holds `track`, then records `track`.
    int32_t writeBack(unsigned track);

    unsigned sectorBytes() const { return sectorBytes_; }
    FloppyOpenState state() const { return state_; }
    bool writeProtected() const { return writeProtected_; }
    bool hasDirtySectors() const { return wb_.dirty[0] || wb_.dirty[1]; }
    void invalidateCaches();

private:
    struct ReadCache {
        bool error = false;
        unsigned track = FloppyNoTrack;
        std::vector<uint8_t> data = std::vector<uint8_t>(FloppyMaxSectorsPerTrack * FloppyMaxSectorBytes);
    };
    struct WriteCache {
        unsigned track = FloppyNoTrack;
        uint32_t dirty[2] = {};
        std::vector<uint8_t> data = std::vector<uint8_t>(2 * FloppyMaxSectorsPerTrack * FloppyMaxSectorBytes);
    };

    int32_t openPhysical(const std::string& device);
    int32_t openImage();
    uint64_t offsetOf(unsigned track, unsigned head, unsigned sector) const;
    size_t trackBytes() const { return size_t(sectorsPerTrack_) * sectorBytes_; }
    uint8_t* cacheSector(unsigned head, unsigned sector)
    {
        return wb_.data.data() + (head * sectorsPerTrack_ + sector) * sectorBytes_;
    }
    // Reads `count` sectors into `dest`, reopening once when the medium was not ready.
    int32_t readRaw(unsigned track, unsigned head, unsigned sector, unsigned count, uint8_t* dest);
    int32_t fillReadCache(unsigned head, unsigned track);
    // Copies head h's dirty sectors of the write-back cache into that head's read cache
    // when it holds the same track, so reads never see older data.
    void refreshReadCache(unsigned head, unsigned track, uint32_t mask);
    bool validAddress(unsigned track, unsigned head, unsigned sector) const;

    HostBlockFile file_;
    FloppyOpenState state_ = FloppyOpenState::Closed;
    bool writeProtected_ = false;
    int readOnlyReason_ = 0;  // errno that refused writing, for the guest's error
    unsigned heads_ = 2;
    unsigned sectorsPerTrack_ = 0;
    unsigned sectorBytes_ = 512;
    unsigned tracks_ = 0;
    uint32_t fullMask_ = 0;
    ReadCache rc_[2];
    WriteCache wb_;
};

// The raw host device for a name such as "A:\" (or a path naming a block device).
std::string floppyPhysicalDevice(const std::string& name);
