// The two 256-byte tables between the guest character set and the host's single-byte
// code page 1252, and the step from code page 1252 to UTF-8 where a text leaves the
// program (clipboard, window title, file to open) or enters it (computer name).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using CharTable = std::array<uint8_t, 256>;

// Guest byte -> host byte and host byte -> guest byte. Bytes without a listed pair map to
// themselves in each table, so the two are not inverse on every byte.
const CharTable& qlToHostTable();
const CharTable& hostToQlTable();

inline uint8_t qlToHost(uint8_t c) { return qlToHostTable()[c]; }
inline uint8_t hostToQl(uint8_t c) { return hostToQlTable()[c]; }

// Code page 1252 <-> UTF-8. Bytes that code page 1252 leaves undefined ($81, $8D, $8F,
// $90, $9D) travel as the C1 control of the same number so that nothing is lost.
std::string cp1252ToUtf8(std::string_view text);
// Characters outside code page 1252 become '?'; malformed UTF-8 bytes also become '?'.
std::string utf8ToCp1252(std::string_view text);
