// The program's user-visible texts, by string number, in English and German.
#pragma once

#include <string>

namespace StringId {
constexpr int CallFailed = 1;  // a failed host call (audio, presentation): name, code
constexpr int CannotAllocateMemory = 2;
constexpr int ErrorOpeningImage = 3;
constexpr int CorruptImage = 4;
constexpr int IllegalValue = 5;     // name of the field
constexpr int ValueOutOfRange = 6;  // name, lowest, highest
constexpr int XResolution = 7;
constexpr int YResolution = 8;
constexpr int MemorySize = 9;
constexpr int CountryCode = 10;
constexpr int CannotWriteFile = 11;  // written, requested, code, host text
constexpr int XWindowSize = 22;
constexpr int YWindowSize = 23;
constexpr int InvalidBaseDirectory = 25;  // drive number
constexpr int DefaultPrinter = 26;
constexpr int Fullscreen = 27;
constexpr int Resolution = 28;
constexpr int WindowSize = 29;
}  // namespace StringId

enum class Language { English, German };

// The language of the user's locale (LC_ALL, LC_MESSAGES, then LANG): German for "de...",
// English otherwise.
Language hostLanguage();

// The text of string `id`, or "" for a number the table does not hold. Without a
// language: English. A string the German table lacks is given in English.
const char* loadString(int id);
const char* loadString(int id, Language language);

// printf-style formatting of a table string, cut to at most 255 characters as the
// message boxes take them.
std::string formatString(int id, ...);
std::string formatString(Language language, int id, ...);
