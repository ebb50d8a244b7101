// Strings in guest memory, addressed by guest address: every form checks the whole
// string against the RAM size before touching it, and refuses rather than writing part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The longest QDOS string a length word can describe.
constexpr size_t QdosStringMax = 0xFFFF;

// As putQdosString at guest address a (masked); BadParameter when a + 2 + length lies
// beyond the RAM size. Tells the display about the bytes written.
int32_t putGuestString(uint32_t a, size_t maxBytes, std::string_view text);

// The QDOS string at a, through the guest -> host table, with host environment variables
// expanded (expandEnvironmentStrings).
// BadParameter when the length word or the text lies beyond RAM; BufferFull when the
// expanded text + 1 exceeds maxBytes.
int32_t getGuestPath(std::string& out, size_t maxBytes, uint32_t a);

// The QDOS string at a, through the guest -> host table, whatever its length.
// BadParameter when it lies beyond RAM; OutOfMemory when the host cannot hold it.
int32_t getGuestStringAlloc(std::string& out, uint32_t a);
