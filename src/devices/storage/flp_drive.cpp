#include "devices/storage/flp_drive.h"

#include "core/guest_error.h"
#include "log/log.h"
#include "devices/storage/host_error.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned ImageHeads = 2;
constexpr unsigned FormatTracks = 80;
constexpr uint64_t FormatBytesPerSectorOfTrack = 81920;  // 80 tracks x 2 heads x 512 bytes
constexpr unsigned AutomaticSectors = 0xFF;
constexpr int32_t WriteProtectedMedium = 0xFF;
// The guest's "out of range" code: an image of a size no drive has.
constexpr int32_t ImageSizeUnknown = -4;

bool refusedForWriting(int error) { return error == EACCES || error == EPERM || error == EROFS; }

}  // namespace

std::string floppyPhysicalDevice(const std::string& name)
{
    if (name.size() == 3 && name[1] == ':' && name[2] == '\\') {
        char letter = char(name[0] & ~0x20);
        if (letter >= 'A' && letter <= 'Z') return "/dev/fd" + std::to_string(letter - 'A');
    }
    if (name.rfind("/dev/fd", 0) == 0) return name;
    return {};
}

void FloppyDrive::invalidateCaches()
{
    for (ReadCache& rc : rc_) rc.track = FloppyNoTrack;
    wb_.track = FloppyNoTrack;
    wb_.dirty[0] = wb_.dirty[1] = 0;
}

int32_t FloppyDrive::open()
{
    if (state_ != FloppyOpenState::Closed) return 0;
    std::string device = floppyPhysicalDevice(name);
    int32_t r = device.empty() ? openImage() : openPhysical(device);
    if (r == 0) fullMask_ = (1u << sectorsPerTrack_) - 1;
    return r;
}

int32_t FloppyDrive::openPhysical(const std::string& device)
{
    zlog(LogCat::Floppy, "Opening physical drive %s\n", device.c_str());
    writeProtected_ = false;
    int error = file_.open(device, true);
    if (refusedForWriting(error)) {
        writeProtected_ = true;
        readOnlyReason_ = error;
        error = file_.open(device, false);
    }
    if (error) return GuestError::BadMedium;
    unsigned heads = 0, sectors = 0, tracks = 0;
    if (file_.floppyGeometry(heads, sectors, tracks) != 0 || heads == 0 || heads > 2 || sectors == 0 ||
        sectors > FloppyMaxSectorsPerTrack || tracks == 0 || tracks >= FloppyFlushTrack) {
        file_.close();
        return GuestError::BadMedium;
    }
    heads_ = heads;
    sectorsPerTrack_ = sectors;
    tracks_ = tracks;
    sectorBytes_ = 512;
    state_ = FloppyOpenState::Physical;
    return 0;
}

int32_t FloppyDrive::openImage()
{
    writeProtected_ = false;
    zlog(LogCat::Floppy, "Opening image file %s\n", name.c_str());
    if (name.empty() || hostIsUnusableAsImage(name, false)) return GuestError::NotFound;
    int error = file_.open(name, true);
    if (refusedForWriting(error)) {
        error = file_.open(name, false);
        writeProtected_ = true;
        readOnlyReason_ = EACCES;
    }
    if (error) return GuestError::NotFound;
    uint64_t bytes = 0;
    if (!file_.size(bytes)) bytes = 0;
    for (const FloppyImageSize& size : FloppyImageSizes)
        if (size.bytes == bytes) {
            heads_ = ImageHeads;
            sectorsPerTrack_ = size.sectorsPerTrack;
            sectorBytes_ = size.sectorBytes;
            tracks_ = size.tracks;
            state_ = FloppyOpenState::Image;
            return 0;
        }
    zlog(LogCat::Floppy, "Floppy image size not recognised: %u", unsigned(bytes));
    file_.close();
    return ImageSizeUnknown;
}

void FloppyDrive::close()
{
    zlog(LogCat::Floppy, "Closing drive\n");
    zlog(LogCat::Floppy, "Invalidating cache\n");
    file_.close();
    state_ = FloppyOpenState::Closed;
    invalidateCaches();
}

uint64_t FloppyDrive::offsetOf(unsigned track, unsigned head, unsigned sector) const
{
    return ((uint64_t(track) * heads_ + head) * sectorsPerTrack_ + sector) * sectorBytes_;
}

bool FloppyDrive::validAddress(unsigned track, unsigned head, unsigned sector) const
{
    return track < tracks_ && head < heads_ && sector < sectorsPerTrack_;
}

int32_t FloppyDrive::readRaw(unsigned track, unsigned head, unsigned sector, unsigned count, uint8_t* dest)
{
    const size_t bytes = size_t(count) * sectorBytes_;
    for (int attempt = 0;; ++attempt) {
        long long got = file_.readAt(offsetOf(track, head, sector), dest, bytes);
        if (got == (long long)bytes) return 0;
        if (got >= 0) return GuestError::BadMedium;
        int error = file_.lastError();
        if ((error == ENOMEDIUM || error == ENXIO) && attempt == 0) {
            // The medium went away or was changed: start again with whatever is there now.
            close();
            if (int32_t r = open()) return r;
            continue;
        }
        if (error == EIO) rc_[head].error = true;
        return GuestError::BadMedium;
    }
}

int32_t FloppyDrive::fillReadCache(unsigned head, unsigned track)
{
    ReadCache& rc = rc_[head];
    if (rc.track == track) return 0;
    zlog(LogCat::Floppy, "Filling cache %u/%u\n", track, head);
    int32_t r = readRaw(track, head, 0, sectorsPerTrack_, rc.data.data());
    if (r && !rc.error) {
        rc.track = FloppyNoTrack;
        return r;
    }
    rc.track = track;
    return 0;
}

void FloppyDrive::refreshReadCache(unsigned head, unsigned track, uint32_t mask)
{
    if (rc_[head].track != track) return;
    for (unsigned s = 0; s < sectorsPerTrack_; ++s)
        if (mask & (1u << s)) memcpy(rc_[head].data.data() + s * sectorBytes_, cacheSector(head, s), sectorBytes_);
}

int32_t FloppyDrive::writeBack(unsigned track)
{
    const unsigned t = wb_.track;
    if (t == track) return 0;
    if (t != FloppyNoTrack && hasDirtySectors()) {
        if (int32_t r = open()) return r;
        const size_t bytes = trackBytes();
        bool cylinderDone = false;
        if (heads_ == 2 && wb_.dirty[0] == fullMask_ && wb_.dirty[1] == fullMask_) {
            zlog(LogCat::Floppy, "Writing cache (dual track) %u\n", t);
            if (file_.writeAt(offsetOf(t, 0, 0), wb_.data.data(), 2 * bytes) == (long long)(2 * bytes)) {
                cylinderDone = true;
                for (unsigned h = 0; h < 2; ++h) refreshReadCache(h, t, wb_.dirty[h]), wb_.dirty[h] = 0;
            }
        }
        int32_t failure = 0;
        for (unsigned h = 0; !cylinderDone && h < heads_; ++h) {
            const uint32_t mask = wb_.dirty[h];
            if (!mask) continue;
            bool trackDone = false;
            if (mask == fullMask_) {
                zlog(LogCat::Floppy, "Writing cache (full track) %u/%u\n", t, h);
                trackDone = file_.writeAt(offsetOf(t, h, 0), cacheSector(h, 0), bytes) == (long long)bytes;
                if (trackDone) refreshReadCache(h, t, mask);
            } else if (fillReadCache(h, t) == 0 && !rc_[h].error) {
                zlog(LogCat::Floppy, "Writing cache (partial track) %u/%u\n", t, h);
                refreshReadCache(h, t, mask);
                trackDone = file_.writeAt(offsetOf(t, h, 0), rc_[h].data.data(), bytes) == (long long)bytes;
            }
            if (trackDone) {
                wb_.dirty[h] = 0;
                continue;
            }
            for (unsigned s = 0; s < sectorsPerTrack_; ++s) {
                if (!(mask & (1u << s))) continue;
                zlog(LogCat::Floppy, "Writing cache (single sector) %u/%u/%u\n", t, h, s);
                if (file_.writeAt(offsetOf(t, h, s), cacheSector(h, s), sectorBytes_) == (long long)sectorBytes_) {
                    wb_.dirty[h] &= ~(1u << s);
                    refreshReadCache(h, t, 1u << s);
                } else {
                    // Kept dirty: a later write-back or flush tries again, nothing is dropped.
                    failure = GuestError::BadMedium;
                }
            }
        }
        if (failure || hasDirtySectors()) return failure ? failure : GuestError::BadMedium;
    }
    wb_.dirty[0] = wb_.dirty[1] = 0;
    wb_.track = track;
    return 0;
}

int32_t FloppyDrive::readSector(unsigned track, unsigned head, unsigned sector, uint8_t* out)
{
    zlog(LogCat::Floppy, "Reading sector %u/%u/%d\n", track, head, int(sector) - 1);
    if (sector == 0) return GuestError::BadParameter;
    const unsigned s = sector - 1;
    if (track == 0 && head == 0 && s == 0) {
        // The medium may have changed: everything still pending goes to the old one first.
        if (int32_t r = writeBack(FloppyFlushTrack)) return r;
        if (state_ != FloppyOpenState::Closed) close();
        if (int32_t r = open()) return r;
        zlog(LogCat::Floppy, "Invalidating cache\n");
        invalidateCaches();
        if (int32_t r = readRaw(0, 0, 0, 1, rc_[0].data.data())) return r;
        memcpy(out, rc_[0].data.data(), sectorBytes_);
        return 0;
    }
    if (int32_t r = writeBack(track)) return r;
    if (int32_t r = open()) return r;
    if (!validAddress(track, head, s)) return GuestError::BadParameter;
    if (wb_.track == track && (wb_.dirty[head] & (1u << s))) {
        memcpy(out, cacheSector(head, s), sectorBytes_);
        return 0;
    }
    if (int32_t r = fillReadCache(head, track)) return r;
    uint8_t* cached = rc_[head].data.data() + s * sectorBytes_;
    if (rc_[head].error) {
        zlog(LogCat::Floppy, "Unbuffered read\n");
        if (int32_t r = readRaw(track, head, s, 1, cached)) return r;
    }
    memcpy(out, cached, sectorBytes_);
    return 0;
}

int32_t FloppyDrive::writeSector(unsigned track, unsigned head, unsigned sector, const uint8_t* in)
{
    zlog(LogCat::Floppy, "Writing sector %u/%u/%d\n", track, head, int(sector) - 1);
    if (int32_t r = open()) return r;
    if (sector == 0 || !validAddress(track, head, sector - 1)) return GuestError::BadParameter;
    if (writeProtected_) return guestErrorFromHost(readOnlyReason_);
    if (int32_t r = writeBack(track)) return r;
    memcpy(cacheSector(head, sector - 1), in, sectorBytes_);
    wb_.dirty[head] |= 1u << (sector - 1);
    wb_.track = track;
    return 0;
}

int32_t FloppyDrive::flushAndClose()
{
    int32_t r = writeBack(FloppyFlushTrack);
    zlog(LogCat::Floppy, "Invalidating cache\n");
    for (ReadCache& rc : rc_) rc.track = FloppyNoTrack;
    // Sectors that could not be written stay in the cache with the drive open.
    if (r) return r;
    invalidateCaches();
    if (state_ != FloppyOpenState::Closed) close();
    return 0;
}

int32_t FloppyDrive::checkMedium()
{
    if (int32_t r = writeBack(FloppyFlushTrack)) return r;
    if (state_ != FloppyOpenState::Closed) close();
    int32_t r = open();
    if (r == GuestError::NotFound) return 0;
    if (r) return r;
    return writeProtected_ ? WriteProtectedMedium : 0;
}

unsigned FloppyDrive::format(unsigned sectorsPerTrack, unsigned tracks, unsigned heads)
{
    // The medium is rewritten from scratch, so pending sectors of the old contents go too.
    zlog(LogCat::Floppy, "Invalidating cache\n");
    invalidateCaches();
    if (state_ != FloppyOpenState::Closed) close();
    const std::string device = floppyPhysicalDevice(name);
    if (sectorsPerTrack == AutomaticSectors) {
        sectorsPerTrack = 18;
        if (!device.empty()) {
            if (open() != 0) return 0;
            sectorsPerTrack = sectorsPerTrack_;
            close();
        }
    }
    if (heads != ImageHeads || tracks != FormatTracks || (sectorsPerTrack != 9 && sectorsPerTrack != 18)) return 0;
    if (!device.empty()) return sectorsPerTrack;
    if (name.empty() || hostIsUnusableAsImage(name, false)) return 0;
    int error = hostCreateSizedFile(name, sectorsPerTrack * FormatBytesPerSectorOfTrack, uint8_t(ImageHeads));
    return error ? 0 : sectorsPerTrack;
}
