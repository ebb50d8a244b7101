// The program's user-visible texts, by string number (English table).
#pragma once

#include <string>

namespace StringId {
constexpr int CallFailed = 1;  // a failed host call (audio, presentation): name, code
constexpr int CannotAllocateMemory = 2;
constexpr int ErrorOpeningImage = 3;
constexpr int CorruptImage = 4;
}  // namespace StringId

// The text of string `id`, or "" for a number the table does not hold.
const char* loadString(int id);

// printf-style formatting of a table string, cut to at most 255 characters as the
// message boxes take them.
std::string formatString(int id, ...);
