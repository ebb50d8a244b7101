#include "printer/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <strings.h>

namespace zemprint {

namespace {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

std::string trim(const std::string& text)
{
    const char* spaces = " \t\r\n";
    const auto first = text.find_first_not_of(spaces);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(spaces);
    return text.substr(first, last - first + 1);
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool isComment(const std::string& trimmed) { return !trimmed.empty() && (trimmed[0] == ';' || trimmed[0] == '#'); }

// Section name of a header line, or nothing.
std::optional<std::string> sectionName(const std::string& line)
{
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return trim(t.substr(1, close - 1));
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) { reload(); }

void IniFile::reload()
{
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(line);
    }
}

bool IniFile::flush() const
{
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    for (const auto& line : lines_)
        out << line << '\n';
    out.flush();
    return static_cast<bool>(out);
}

std::size_t IniFile::findSection(const std::string& section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i]);
        if (name && equalNoCase(*name, section))
            return i;
    }
    return kNotFound;
}

std::size_t IniFile::findKey(std::size_t sectionLine, const std::string& key) const
{
    for (std::size_t i = sectionLine + 1; i < lines_.size(); ++i) {
        if (sectionName(lines_[i]))
            break;
        const std::string t = trim(lines_[i]);
        if (t.empty() || isComment(t))
            continue;
        const auto equals = t.find('=');
        if (equals == std::string::npos)
            continue;
        if (equalNoCase(trim(t.substr(0, equals)), key))
            return i;
    }
    return kNotFound;
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const
{
    const auto sectionLine = findSection(section);
    if (sectionLine == kNotFound)
        return std::nullopt;
    const auto keyLine = findKey(sectionLine, key);
    if (keyLine == kNotFound)
        return std::nullopt;
    const std::string& line = lines_[keyLine];
    std::string v = trim(line.substr(line.find('=') + 1));
    // A value written in double quotes is read without them, as the profile functions do.
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& fallback) const
{
    return value(section, key).value_or(fallback);
}

std::optional<int> IniFile::parseInteger(const std::string& text)
{
    const std::string t = trim(text);
    if (t.empty())
        return std::nullopt;
    std::size_t start = 0;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        start = 1;
    }
    int base = 10;
    if (t.size() > start + 2 && t[start] == '0' && (t[start + 1] == 'x' || t[start + 1] == 'X')) {
        base = 16;
        start += 2;
    }
    if (start >= t.size())
        return std::nullopt;
    const char* begin = t.c_str() + start;
    if (*begin == '+' || *begin == '-' || *begin == ' ')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long magnitude = std::strtoull(begin, &end, base);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    // Hexadecimal values are 32-bit patterns ($FFFFFFFF is -1); decimal ones must fit.
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
        const auto bits = static_cast<unsigned int>(magnitude);
        const int value = static_cast<int>(bits);
        return negative ? static_cast<int>(0u - bits) : value;
    }
    const long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (magnitude > static_cast<unsigned long long>(INT_MAX) + 1 || value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

int IniFile::readInteger(const std::string& section, const std::string& key, int fallback) const
{
    const auto text = value(section, key);
    if (!text)
        return fallback;
    return parseInteger(*text).value_or(fallback);
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool fallback) const
{
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string entry = key + "=" + value;
    auto sectionLine = findSection(section);
    if (sectionLine == kNotFound) {
        if (!lines_.empty() && !trim(lines_.back()).empty())
            lines_.emplace_back();
        lines_.push_back("[" + section + "]");
        lines_.push_back(entry);
        return;
    }
    const auto keyLine = findKey(sectionLine, key);
    if (keyLine != kNotFound) {
        lines_[keyLine] = entry;
        return;
    }
    // A new key goes after the section's last entry, before any blank lines that
    // separate it from the next section.
    std::size_t insertAt = sectionLine + 1;
    for (std::size_t i = sectionLine + 1; i < lines_.size() && !sectionName(lines_[i]); ++i) {
        if (!trim(lines_[i]).empty())
            insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
}

void IniFile::writeInteger(const std::string& section, const std::string& key, int value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

}  // namespace zemprint
