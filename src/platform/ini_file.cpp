#include "platform/ini_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool isComment(const std::string& t) { return !t.empty() && (t[0] == ';' || t[0] == '#'); }

}  // namespace

bool isReadOnlyFile(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    // The write bits count even for a user the system would let write anyway, so a file
    // marked read-only is left alone by everyone.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0;
}

IniFile::IniFile(std::string path) : path_(std::move(path)) { reload(); }

void IniFile::reload()
{
    lines_.clear();
    crlf_ = false;
    exists_ = false;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    exists_ = true;
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string all = buffer.str();
    // A file written on the other system keeps its line ends when keys are added.
    crlf_ = all.find("\r\n") != std::string::npos;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string raw = all.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        lines_.push_back(parseLine(raw));
        start = end + 1;
    }
}

IniFile::Line IniFile::parseLine(const std::string& raw)
{
    Line line;
    line.raw = raw;
    std::string t = trim(raw);
    if (t.empty() || isComment(t)) return line;
    if (t[0] == '[') {
        size_t close = t.find(']');
        if (close != std::string::npos) {
            line.isSection = true;
            line.section = trim(t.substr(1, close - 1));
        }
        return line;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) return line;
    line.isKey = true;
    line.key = trim(t.substr(0, eq));
    return line;
}

int IniFile::findSection(const std::string& section) const
{
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].isSection && equalNoCase(lines_[i].section, section)) return int(i);
    return -1;
}

int IniFile::findKey(int sectionLine, const std::string& key) const
{
    for (size_t i = size_t(sectionLine) + 1; i < lines_.size() && !lines_[i].isSection; ++i)
        if (lines_[i].isKey && equalNoCase(lines_[i].key, key)) return int(i);
    return -1;
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const
{
    int s = findSection(section);
    if (s < 0) return std::nullopt;
    int k = findKey(s, key);
    if (k < 0) return std::nullopt;
    const std::string& raw = lines_[size_t(k)].raw;
    std::string v = trim(raw.substr(raw.find('=') + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& def) const
{
    std::optional<std::string> v = value(section, key);
    return v ? *v : def;
}

long long IniFile::readLeadingInteger(const std::string& section, const std::string& key, long long def) const
{
    std::optional<std::string> v = value(section, key);
    if (!v || v->empty()) return def;
    const char* text = v->c_str();
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    bool digitFirst = base == 10 ? (*text >= '0' && *text <= '9') : isxdigit(static_cast<unsigned char>(*text));
    if (!digitFirst) return def;
    errno = 0;
    char* end = nullptr;
    unsigned long long magnitude = strtoull(text, &end, base);
    if (errno == ERANGE || magnitude > 0xFFFFFFFFull) return def;
    long long result = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (result < INT32_MIN) return def;
    return result;
}

std::optional<int> IniFile::parseInteger(const std::string& text)
{
    const std::string t = trim(text);
    if (t.empty()) return std::nullopt;
    size_t start = 0;
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
    if (start >= t.size()) return std::nullopt;
    const char* begin = t.c_str() + start;
    // strtoull would accept a second sign or leading blanks.
    if (!isxdigit(static_cast<unsigned char>(*begin))) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long magnitude = strtoull(begin, &end, base);
    if (errno != 0 || *end != '\0') return std::nullopt;
    // Hexadecimal values are 32-bit patterns; decimal ones must fit.
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFull) return std::nullopt;
        const auto bits = static_cast<unsigned int>(magnitude);
        return static_cast<int>(negative ? 0u - bits : bits);
    }
    if (magnitude > static_cast<unsigned long long>(INT_MAX) + 1) return std::nullopt;
    const long long value = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

int IniFile::readInteger(const std::string& section, const std::string& key, int def) const
{
    std::optional<std::string> v = value(section, key);
    if (!v) return def;
    return parseInteger(*v).value_or(def);
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string raw = key + "=" + value;
    int s = findSection(section);
    if (s < 0) {
        // A blank line between sections, as a hand-written file would have.
        if (!lines_.empty() && !trim(lines_.back().raw).empty()) lines_.push_back(parseLine(""));
        lines_.push_back(parseLine("[" + section + "]"));
        lines_.push_back(parseLine(raw));
        return;
    }
    int k = findKey(s, key);
    if (k >= 0) {
        // Keep the spelling of the key as the file has it.
        lines_[size_t(k)].raw = lines_[size_t(k)].key + "=" + value;
        return;
    }
    // After the last key of the section: blank lines and comments in front of the next
    // section stay with it.
    size_t insertAt = size_t(s) + 1;
    for (size_t i = size_t(s) + 1; i < lines_.size() && !lines_[i].isSection; ++i)
        if (lines_[i].isKey) insertAt = i + 1;
    lines_.insert(lines_.begin() + long(insertAt), parseLine(raw));
}

void IniFile::writeInteger(const std::string& section, const std::string& key, int value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

std::string IniFile::text() const
{
    std::string out;
    for (const Line& line : lines_) out += line.raw + (crlf_ ? "\r\n" : "\n");
    return out;
}

bool IniFile::save() const
{
    const std::string content = text();
    // Written to a neighbour and renamed over the file, so a failed write never leaves a
    // half-written configuration behind. A link is written through in place instead, and
    // so is a file whose directory does not let us create the neighbour.
    if (isReadOnlyFile(path_)) return false;
    struct stat st {};
    bool haveStat = lstat(path_.c_str(), &st) == 0;
    if (!haveStat || !S_ISLNK(st.st_mode)) {
        std::string temp = path_ + ".new";
        FILE* f = fopen(temp.c_str(), "wb");
        if (f) {
            bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
            ok = fflush(f) == 0 && ok;
            if (haveStat) {
                ok = fchmod(fileno(f), st.st_mode & 07777) == 0 && ok;
                // Keeps the owner when someone else (an administrator) runs the program on
                // the user's file; only a privileged process can, so failing is fine.
                if (fchown(fileno(f), st.st_uid, st.st_gid) != 0) errno = 0;
            }
            ok = fclose(f) == 0 && ok;
            if (ok && rename(temp.c_str(), path_.c_str()) == 0) return true;
            unlink(temp.c_str());
        }
    }
    FILE* f = fopen(path_.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
    return fclose(f) == 0 && ok;
}
