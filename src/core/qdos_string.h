// QDOS strings: a 16-bit big-endian length word, then that many bytes in the guest
// character set, no terminator. These work on host pointers; guest_strings.h has the
// forms that take guest addresses and check them against RAM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr size_t QdosLengthSize = 2;

// Writes `text` (host code page) at dest as a QDOS string through the host -> guest table.
// BadParameter when dest is missing; BufferFull when length + 2 > maxBytes; else 0.
int32_t putQdosString(uint8_t* dest, size_t maxBytes, std::string_view text);

// Reads the QDOS string at src into `out` through the guest -> host table. BadParameter
// when src is missing, or when src lies in guest RAM and the string runs past its end;
// BufferFull when length + 1 > maxBytes (room for a terminator, as a C buffer would need).
int32_t getQdosString(const uint8_t* src, size_t maxBytes, std::string& out);
