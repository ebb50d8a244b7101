// An INI file with the semantics of the classic profile functions, shared by both
// programs: sections and keys are found without regard to case, a missing key yields the
// caller's default, and writing one key rewrites only that line, so comments, blank lines,
// unknown keys and their order survive. New keys go after the last key of their section,
// new sections to the end of the file.
#pragma once

#include <optional>
#include <string>
#include <vector>

// True when `path` exists and may not be written (no write permission bits, or no access).
bool isReadOnlyFile(const std::string& path);

class IniFile {
public:
    // Reads `path`; a missing or unreadable file gives an empty document. exists() tells
    // which it was.
    explicit IniFile(std::string path);

    const std::string& path() const { return path_; }
    bool exists() const { return exists_; }
    // Reads the file again, dropping changes not yet saved.
    void reload();

    // The value of `key` in `section`, trimmed, with one pair of enclosing double quotes
    // removed; nothing when the key is absent.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
    // The number at the start of the value, as the profile functions read it: decimal
    // (optionally signed) or hexadecimal after "0x"; text after it is ignored. A value
    // that does not start with a number, or that lies outside 32 bits, yields the default.
    long long readLeadingInteger(const std::string& section, const std::string& key, long long def) const;
    // The whole value as an integer (parseInteger); anything else yields the default.
    int readInteger(const std::string& section, const std::string& key, int def) const;
    // Any non-zero integer is true; a value that is not an integer yields the default.
    bool readBool(const std::string& section, const std::string& key, bool def) const;

    // Sets the key in memory; save() writes the document.
    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, int value);
    void writeBool(const std::string& section, const std::string& key, bool value);

    // Writes the whole document back. False when the file could not be written; a
    // read-only file is never replaced.
    bool save() const;
    // The document as save() would write it.
    std::string text() const;

    // A whole text (trimmed) as a 32-bit integer: decimal, optionally signed, or
    // hexadecimal after 0x/0X taken as a 32-bit pattern (0xFFFFFFFF is -1).
    static std::optional<int> parseInteger(const std::string& text);

private:
    struct Line {
        std::string raw;      // the line as read (without its line end), or as written
        std::string section;  // for a section header: its name
        std::string key;      // for a key line: its name (trimmed)
        bool isSection = false;
        bool isKey = false;
    };
    // Index of the header of `section`, or -1.
    int findSection(const std::string& section) const;
    int findKey(int sectionLine, const std::string& key) const;
    static Line parseLine(const std::string& raw);

    std::string path_;
    bool exists_ = false;
    bool crlf_ = false;  // the file ends its lines with CR LF
    std::vector<Line> lines_;
};
