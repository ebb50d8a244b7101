#include "devices/storage/stored_header.h"

#include "platform/fs_host.h"

#include <cerrno>
#include <vector>

namespace {

constexpr uint64_t SizeLimit = uint64_t(1) << 32;

// Moves [from, from + length) to `to`, in pieces, in the direction that does not overwrite
// data still to be moved.
int moveData(int fd, uint64_t from, uint64_t to, uint64_t length)
{
    std::vector<uint8_t> piece(StoredHeader::MoveChunk);
    uint64_t done = 0;
    while (done < length) {
        uint64_t n = std::min<uint64_t>(piece.size(), length - done);
        // Upwards from the end towards the front, downwards from the front.
        uint64_t offset = to > from ? length - done - n : done;
        int64_t got = fsReadAt(fd, piece.data(), size_t(n), from + offset);
        if (got < 0) return int(got);
        if (uint64_t(got) != n) return -EIO;
        int64_t put = fsWriteAt(fd, piece.data(), size_t(n), to + offset);
        if (put < 0) return int(put);
        done += n;
    }
    return 0;
}

}  // namespace

StoredHeaderInfo parseStoredHeader(const uint8_t* head, size_t got)
{
    StoredHeaderInfo info;
    if (got < StoredHeader::Size || memcmp(head, StoredHeader::Magic, StoredHeader::MagicSize) != 0) return info;
    int8_t words = int8_t(head[StoredHeader::LengthWord + 1]);
    // A negative length cannot place the data anywhere: such a file is taken as plain data.
    if (words < 0) return info;
    info.present = true;
    info.dataOffset = uint32_t(words) * 2;
    if (words >= int8_t(StoredHeader::Words)) {
        info.fieldsTaken = true;
        memcpy(info.fields, head + StoredHeader::Fields, QdosHeader::FieldsSize);
    }
    return info;
}

int updateStoredHeader(int fd, const HeaderImage& image, bool& hasStored, uint32_t& dataOffset)
{
    const uint8_t* fields = image.data() + QdosHeader::FieldsStart;
    bool plain = image[QdosHeader::Type] == 0;
    bool noExtras = getBig32(&image[QdosHeader::Dataspace]) == 0 && getBig32(&image[QdosHeader::Extra]) == 0;
    if (plain && !hasStored) return 0;

    if (plain && noExtras) {
        FsInfo info;
        if (int e = fsStatOpen(fd, info); e < 0) return e;
        if (info.size >= SizeLimit) return -EFBIG;
        uint64_t length = info.size > dataOffset ? info.size - dataOffset : 0;
        if (int e = moveData(fd, dataOffset, 0, length); e < 0) return e;
        if (int e = fsTruncate(fd, length); e < 0) return e;
        dataOffset = 0;
        hasStored = false;
        return 0;
    }

    // A short stored header (magic with fewer than 15 words) has no room for the fields:
    // its data moves up like a plain file's, rather than being overwritten by them.
    uint32_t oldOffset = hasStored ? dataOffset : 0;
    if (!hasStored || dataOffset < StoredHeader::Size) {
        FsInfo info;
        if (int e = fsStatOpen(fd, info); e < 0) return e;
        if (info.size >= SizeLimit) return -EFBIG;
        uint64_t length = info.size > oldOffset ? info.size - oldOffset : 0;
        uint32_t growth = StoredHeader::Size - oldOffset;
        // Growing the file first: when the drive is full this fails before any byte moved,
        // and the file is cut back to its old length.
        uint8_t zeros[StoredHeader::Size] = {};
        int64_t grown = fsWriteAt(fd, zeros, growth, info.size);
        if (grown < 0) {
            fsTruncate(fd, info.size);
            return int(grown);
        }
        if (int e = moveData(fd, oldOffset, StoredHeader::Size, length); e < 0) return e;
        uint8_t head[StoredHeader::Fields];
        memcpy(head, StoredHeader::Magic, StoredHeader::MagicSize);
        head[StoredHeader::LengthWord] = 0;
        head[StoredHeader::LengthWord + 1] = StoredHeader::Words;
        if (int64_t e = fsWriteAt(fd, head, sizeof head, 0); e < 0) return int(e);
        dataOffset = StoredHeader::Size;
        hasStored = true;
    }
    int64_t put = fsWriteAt(fd, fields, QdosHeader::FieldsSize, StoredHeader::Fields);
    return put < 0 ? int(put) : 0;
}
