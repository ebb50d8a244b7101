#include "core/qdos_string.h"

#include "core/guest_error.h"
#include "core/ql_charset.h"
#include "cpu/memory.h"

int32_t putQdosString(uint8_t* dest, size_t maxBytes, std::string_view text)
{
    if (!dest) return GuestError::BadParameter;
    if (text.size() > UINT16_MAX || text.size() + QdosLengthSize > maxBytes) return GuestError::BufferFull;
    dest[0] = uint8_t(text.size() >> 8);
    dest[1] = uint8_t(text.size());
    for (size_t i = 0; i < text.size(); ++i) dest[QdosLengthSize + i] = hostToQl(uint8_t(text[i]));
    return 0;
}

int32_t getQdosString(const uint8_t* src, size_t maxBytes, std::string& out)
{
    if (!src) return GuestError::BadParameter;
    // A pointer into guest RAM may come from a check of the length word alone: never read
    // the text beyond the end of RAM.
    bool inRam = mem.base && src >= mem.base && src < mem.ramEnd;
    if (inRam && size_t(mem.ramEnd - src) < QdosLengthSize) return GuestError::BadParameter;
    size_t length = size_t(src[0]) << 8 | src[1];
    if (inRam && size_t(mem.ramEnd - src) < QdosLengthSize + length) return GuestError::BadParameter;
    if (length + 1 > maxBytes) return GuestError::BufferFull;
    out.resize(length);
    for (size_t i = 0; i < length; ++i) out[i] = char(qlToHost(src[QdosLengthSize + i]));
    return 0;
}
