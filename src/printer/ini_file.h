// INI file with the semantics of the classic profile functions: sections and
// keys compare without regard to case, a missing key yields the caller's
// default, and writing a key keeps every other line of the file as it was.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zemprint {

class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& path() const { return path_; }

    // Reads the file again; a missing or unreadable file reads as empty.
    void reload();
    // Writes the lines back; false when the file cannot be written.
    bool flush() const;

    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    std::string readString(const std::string& section, const std::string& key, const std::string& fallback) const;
    // Decimal, or hexadecimal with 0x/0X; anything else gives the fallback.
    int readInteger(const std::string& section, const std::string& key, int fallback) const;
    // Any non-zero integer is true.
    bool readBool(const std::string& section, const std::string& key, bool fallback) const;

    void writeString(const std::string& section, const std::string& key, const std::string& value);
    void writeInteger(const std::string& section, const std::string& key, int value);
    void writeBool(const std::string& section, const std::string& key, bool value);

    // Exposed for the settings window's number boxes and for tests.
    static std::optional<int> parseInteger(const std::string& text);

private:
    // Index of the section header line, or npos.
    std::size_t findSection(const std::string& section) const;
    // Index of the key line inside the section starting at sectionLine, or npos.
    std::size_t findKey(std::size_t sectionLine, const std::string& key) const;

    std::string path_;
    std::vector<std::string> lines_;
};

}  // namespace zemprint
