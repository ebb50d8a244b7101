// The QDOS file header of a guest file: its 64-byte image in the guest's byte order, and
// the short stored header that keeps the fields a host file system cannot hold at the
// front of the host file.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace QdosHeader {
constexpr size_t Size = 64;
constexpr size_t Length = 0;       // 4 bytes
constexpr size_t Access = 4;       // 1
constexpr size_t Type = 5;         // 1
constexpr size_t Dataspace = 6;    // 4
constexpr size_t Extra = 10;       // 4
constexpr size_t NameLength = 14;  // 2, low byte used
constexpr size_t Name = 16;        // 36
constexpr size_t UpdateDate = 52;  // 4
constexpr size_t BackupDate = 60;  // 4
constexpr size_t FieldsStart = 4;  // the stored part: access .. extra information
constexpr size_t FieldsSize = 10;
constexpr uint8_t DirectoryType = 0xFF;
}  // namespace QdosHeader

namespace StoredHeader {
constexpr char Magic[] = "]!QDOS File Header";
constexpr size_t MagicSize = sizeof Magic - 1;  // 18, no terminator on disk
constexpr size_t LengthWord = 18;
constexpr size_t Fields = 20;
constexpr size_t Size = 30;
constexpr uint16_t Words = 15;
// Data moves in pieces of this size when a stored header is inserted or removed.
constexpr size_t MoveChunk = 131072;
}  // namespace StoredHeader

using HeaderImage = std::array<uint8_t, QdosHeader::Size>;

inline void putBig32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline uint32_t getBig32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// What the first bytes of a host file say about a stored header.
struct StoredHeaderInfo {
    bool present = false;      // the magic matched (data starts at dataOffset)
    bool fieldsTaken = false;  // the fields below are valid
    uint32_t dataOffset = 0;
    uint8_t fields[QdosHeader::FieldsSize] = {};
};

// `head` holds the first `got` bytes of the file.
StoredHeaderInfo parseStoredHeader(const uint8_t* head, size_t got);

// Brings the stored header of the open file in line with bytes 4-13 of `image`: removes
// it for a plain file of type 0 without dataspace and extra information, inserts it
// (moving the data up) when one is needed, and writes the fields. On failure the file
// keeps its old data; the result is 0 or -errno (-EFBIG for a file of 4 GiB or more).
int updateStoredHeader(int fd, const HeaderImage& image, bool& hasStored, uint32_t& dataOffset);
