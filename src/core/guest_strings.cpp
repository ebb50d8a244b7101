#include "core/guest_strings.h"

#include "core/guest_error.h"
#include "core/guest_write.h"
#include "core/qdos_string.h"
#include "cpu/memory.h"
#include "platform/host_process.h"

#include <cstdlib>
#include <new>

namespace {

// The host pointer of the QDOS string at a when the whole string lies in RAM.
const uint8_t* guestStringAt(uint32_t a)
{
    const uint8_t* head = guestRange(a, QdosLengthSize);
    if (!head) return nullptr;
    uint32_t length = uint32_t(head[0]) << 8 | head[1];
    return guestRange(a, uint32_t(QdosLengthSize) + length);
}

}  // namespace

int32_t putGuestString(uint32_t a, size_t maxBytes, std::string_view text)
{
    if (text.size() > QdosStringMax) return GuestError::BufferFull;
    uint32_t total = uint32_t(QdosLengthSize + text.size());
    GuestWriteSpan dest = guestWriteSpan(a, total);
    if (!dest) return GuestError::BadParameter;
    int32_t result = putQdosString(dest.data(), maxBytes, text);
    if (result != 0) dest.written(0);
    return result;
}

int32_t getGuestPath(std::string& out, size_t maxBytes, uint32_t a)
{
    const uint8_t* src = guestStringAt(a);
    if (!src) return GuestError::BadParameter;
    std::string raw;
    int32_t result = getQdosString(src, QdosStringMax + 1, raw);
    if (result != 0) return result;
    std::string expanded = expandEnvironmentStrings(raw);
    if (expanded.size() + 1 > maxBytes) return GuestError::BufferFull;
    out = std::move(expanded);
    return 0;
}

int32_t getGuestStringAlloc(std::string& out, uint32_t a)
{
    const uint8_t* src = guestStringAt(a);
    if (!src) return GuestError::BadParameter;
    try {
        std::string text;
        int32_t result = getQdosString(src, QdosStringMax + 1, text);
        if (result != 0) return result;
        out = std::move(text);
    } catch (const std::bad_alloc&) {
        return GuestError::OutOfMemory;
    }
    return 0;
}
