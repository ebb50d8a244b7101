// An INI file with the semantics of the classic profile functions: sections and keys are
// found without regard to case, a missing key yields the caller's default, and writing one
// key rewrites only that line, so comments, blank lines, unknown keys and their order
// survive. New keys go to the end of their section, new sections to the end of the file.
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

    // The value of `key` in `section`, trimmed, with one pair of enclosing double quotes
    // removed; nothing when the key is absent.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    std::string getString(const std::string& section, const std::string& key, const std::string& def) const;
    // A decimal number (optionally signed, or hexadecimal after "0x") at the start of the
    // value. A value that does not start with a number, or that lies outside 32 bits,
    // yields the default as a missing key does.
    long long getInt(const std::string& section, const std::string& key, long long def) const;

    // Sets the key in memory; save() writes the document.
    void set(const std::string& section, const std::string& key, const std::string& value);
    // Writes the whole document back. False when the file could not be written; a
    // read-only file is never replaced.
    bool save() const;

    // The document as it would be written.
    std::string text() const;

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
    std::string lineEnd_ = "\n";
    std::vector<Line> lines_;
};
