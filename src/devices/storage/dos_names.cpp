#include "devices/storage/dos_names.h"

#include "config/configuration.h"
#include "config/settings.h"
#include "core/guest_error.h"
#include "log/log.h"
#include "core/ql_charset.h"
#include "platform/host_process.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <map>
#include <vector>

namespace {

constexpr char Separator = '\\';
constexpr char GuestSeparator = '_';

// Characters a host directory shared with other systems cannot hold, and their stand-ins.
struct Substitute {
    char guest;
    uint8_t host;
};
constexpr std::array<Substitute, 9> Forbidden{{
    {'"', 0xA8},
    {'*', 0xD7},
    {'/', 0x83},
    {':', 0x95},
    {'<', 0x8B},
    {'>', 0x9B},
    {'?', 0x8A},
    {'\\', 0xB6},
    {'|', 0x86},
}};
constexpr uint8_t TrailingBlank = 0xA0;
constexpr uint8_t TrailingDot = 0xB7;

constexpr std::array<const char*, 22> ReservedStems{
    "con",  "prn",  "aux",  "nul",  "com1", "com2", "com3", "com4", "com5", "com6", "com7",
    "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9",
};

char foldChar(char c)
{
    uint8_t b = uint8_t(c);
    if (b >= 'A' && b <= 'Z') return char(b + 0x20);
    // Latin capitals of the host code page; $D7 is the multiplication sign.
    if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return char(b + 0x20);
    return c;
}

// Length of the reserved stem that starts `component` in the forms the rule covers
// (stem alone, or stem followed by '.'); 0 when there is none.
size_t reservedStemLength(std::string_view component)
{
    std::string folded = dosFold(component);
    for (const char* stem : ReservedStems) {
        std::string_view s(stem);
        if (folded == s || (folded.size() > s.size() && folded.compare(0, s.size(), s) == 0 && folded[s.size()] == '.'))
            return s.size();
    }
    return 0;
}

bool isReservedStem(std::string_view component)
{
    std::string folded = dosFold(component);
    for (const char* stem : ReservedStems)
        if (folded == stem) return true;
    return false;
}

// Directory listings met during one translation, so that a name with many '_' does not
// read the same directory again for every candidate.
class Lookup {
public:
    explicit Lookup(const DosPath& path) : path_(path) {}

    struct Entry {
        std::string folded;  // host code page, folded
        std::string stored;  // host code page as the host stores it
        FsKind kind;
    };

    // The entry `name` (host code page) in directory `dir` (a prefix of rel, maybe ending
    // in '\'), in any letter case. The exact spelling wins.
    bool find(const std::string& dir, const std::string& name, Entry& found)
    {
        std::string d = trimmed(dir);
        FsInfo info;
        int error = fsStat(path_.anchor(), hostOf(d.empty() ? name : d + Separator + name), info);
        if (error == 0 || error == -EXDEV || error == -ELOOP) {
            found = {dosFold(name), name, error == 0 ? info.kind : FsKind::Escape};
            return true;
        }
        std::string folded = dosFold(name);
        for (const Entry& e : listing(d))
            if (e.folded == folded) {
                found = e;
                return true;
            }
        return false;
    }

    bool directoryWithPrefix(const std::string& dir, const std::string& prefix)
    {
        std::string folded = dosFold(prefix);
        for (const Entry& e : listing(trimmed(dir)))
            if (leadsSomewhere(e.kind) && e.folded.compare(0, folded.size(), folded) == 0) return true;
        return false;
    }

    // The directory named exactly by rel[0, end), in any letter case; its stored name.
    bool directory(const std::string& rel, size_t start, size_t end, std::string& stored)
    {
        Entry e;
        if (!find(rel.substr(0, start), rel.substr(start, end - start), e) || !leadsSomewhere(e.kind)) return false;
        if (e.kind == FsKind::Escape) escaped = true;
        stored = e.stored;
        return true;
    }

    // The name met a link that leads out of the drive.
    bool escaped = false;

private:
    // A link that leads out of the drive is followed like a directory, so that the name
    // reaches the confined open and is refused there rather than quietly meaning another
    // file.
    static bool leadsSomewhere(FsKind kind) { return kind == FsKind::Directory || kind == FsKind::Escape; }
    static std::string trimmed(const std::string& dir)
    {
        return !dir.empty() && dir.back() == Separator ? dir.substr(0, dir.size() - 1) : dir;
    }
    std::string hostOf(const std::string& rel) const
    {
        std::string h = rel;
        std::replace(h.begin(), h.end(), Separator, '/');
        return cp1252ToUtf8(h);
    }
    const std::vector<Entry>& listing(const std::string& dir)
    {
        auto it = cache_.find(dir);
        if (it != cache_.end()) return it->second;
        std::vector<Entry>& entries = cache_[dir];
        fsListDirectory(path_.anchor(), hostOf(dir), [&entries](const std::string& name, FsKind kind) {
            std::string host = utf8ToCp1252(name);
            entries.push_back({dosFold(host), host, kind});
            return true;
        });
        return entries;
    }

    const DosPath& path_;
    std::map<std::string, std::vector<Entry>> cache_;
};

// Nothing below the base may be empty, "." or "..", or hold a byte the host reads as a
// separator or terminator.
bool confined(const std::string& rel)
{
    size_t pos = 0;
    while (pos <= rel.size()) {
        size_t end = rel.find(Separator, pos);
        bool last = end == std::string::npos;
        std::string_view part(rel.data() + pos, (last ? rel.size() : end) - pos);
        if (part.empty()) {
            // Only the whole name may be empty (the base itself), or the tail after a final
            // separator that marks a directory.
            if (!(last && (pos == 0 || pos == rel.size()))) return false;
        }
        if (part == "." || part == "..") return false;
        if (part.find('/') != std::string_view::npos || part.find('\0') != std::string_view::npos) return false;
        if (last) break;
        pos = end + 1;
    }
    return true;
}

int32_t refuse(const DosPath& out, std::string_view guestName, const char* why)
{
    zlog(LogCat::HostDir, "DOS name refused (%s): DOS%d_%.*s\n", why, out.drive, int(guestName.size()),
         guestName.data());
    return GuestError::BadName;
}

}  // namespace

DosPath& DosPath::operator=(DosPath&& other) noexcept
{
    if (this != &other) {
        fsClose(anchorFd_);
        drive = other.drive;
        base = std::move(other.base);
        rel = std::move(other.rel);
        anchorFd_ = other.anchorFd_;
        other.anchorFd_ = -1;
    }
    return *this;
}

FsAnchor DosPath::anchor() const
{
    if (drive == 0) return {FsCurrentDirectory, false};
    return {anchorFd_, true};
}

std::string DosPath::host(size_t length) const
{
    std::string h = rel.substr(0, length);
    if (drive != 0) std::replace(h.begin(), h.end(), Separator, '/');
    return cp1252ToUtf8(h);
}

void DosPath::releaseAnchor()
{
    fsClose(anchorFd_);
    anchorFd_ = -1;
}

int DosPath::openAnchor()
{
    if (drive == 0) return 0;
    fsClose(anchorFd_);
    anchorFd_ = fsOpenAnchor(base);
    return anchorFd_ < 0 ? anchorFd_ : 0;
}

std::string dosFold(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = foldChar(c);
    return out;
}

int dosDriveFromSelector(uint32_t selector) { return selector == 0 ? 0 : int(((selector - 1) & 7) + 1); }

std::string dosGuestToHost(std::string_view guest)
{
    std::string out;
    out.reserve(guest.size());
    for (char g : guest) {
        uint8_t h = qlToHost(uint8_t(g));
        for (const Substitute& s : Forbidden)
            if (h == uint8_t(s.guest)) h = s.host;
        out += char(h);
    }
    return out;
}

std::string dosWithoutReservedMark(std::string_view host)
{
    std::string name(host);
    std::string folded = dosFold(name);
    for (const char* stem : ReservedStems) {
        std::string_view s(stem);
        if (folded.size() > s.size() && folded.compare(0, s.size(), s) == 0 && folded[s.size()] == '_' &&
            (folded.size() == s.size() + 1 || folded[s.size() + 1] == '.')) {
            name.erase(s.size(), 1);
            break;
        }
    }
    return name;
}

std::string dosHostToGuest(std::string_view host)
{
    std::string name = dosWithoutReservedMark(host);
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        uint8_t b = uint8_t(c);
        char guest = 0;
        for (const Substitute& s : Forbidden)
            if (b == s.host) guest = s.guest;
        if (b == TrailingBlank) guest = ' ';
        if (b == TrailingDot) guest = '.';
        if (guest == 0) guest = c == Separator ? GuestSeparator : char(hostToQl(b));
        out += guest;
    }
    return out;
}

void dosApplyTrailingRule(std::string& component)
{
    if (component.empty()) return;
    if (component.back() == ' ')
        component.back() = char(TrailingBlank);
    else if (component.back() == '.')
        component.back() = char(TrailingDot);
}

void dosApplyReservedRule(std::string& component)
{
    if (size_t stem = reservedStemLength(component)) component.insert(stem, 1, '_');
}

int32_t dosTranslateName(uint32_t driveSelector, std::string_view guestName, bool extensionRule, DosPath& out)
{
    out = DosPath{};
    out.drive = dosDriveFromSelector(driveSelector);
    if (out.drive == 0) {
        std::string host;
        for (char g : guestName) host += char(qlToHost(uint8_t(g)));
        out.rel = expandEnvironmentStrings(host);
        if (out.rel.size() > DosHostPathMax) return refuse(out, guestName, "too long");
        if (out.rel.find('\0') != std::string::npos) return refuse(out, guestName, "bad character");
        return 0;
    }

    // A piece of the name that a directory step could turn into "." or ".." is refused
    // before any lookup: such a name can only mean a way out of the drive.
    for (size_t pos = 0; pos <= guestName.size();) {
        size_t end = std::min(guestName.find('_', pos), guestName.size());
        std::string_view piece = guestName.substr(pos, end - pos);
        if (piece == "." || piece == "..") return refuse(out, guestName, "leaves the drive");
        pos = end + 1;
    }

    std::string base = fsAbsolutePath(settings.DOS[out.drive - 1]);
    if (base.empty()) return GuestError::NotFound;
    if (base.back() != '/') base += '/';
    out.base = base;
    if (int error = out.openAnchor(); error < 0) return GuestError::NotFound;
    const size_t baseLength = utf8ToCp1252(base).size();

    std::string& rel = out.rel;
    rel = dosGuestToHost(guestName);
    Lookup lookup(out);
    std::string stored;

    if (guestName.size() <= 1) {
        if (!rel.empty() && lookup.directory(rel, 0, rel.size(), stored)) rel = stored + Separator;
    } else {
        size_t start = 0, scan = 1;
        size_t pending = std::string::npos;
        bool atEnd = false;
        while (true) {
            // Past the end, or nothing left after a directory already resolved.
            if (scan > rel.size() || start >= rel.size()) {
                atEnd = true;
                break;
            }
            size_t cand = rel.find('_', scan);
            if (cand == std::string::npos) cand = rel.size();
            std::string component = rel.substr(start, cand - start);
            if (isReservedStem(component)) {
                std::string test = component + '_';
                dosApplyTrailingRule(test);
                if (lookup.directoryWithPrefix(rel.substr(0, start), test)) {
                    rel.insert(cand, 1, '_');
                    pending = cand + 1;
                    scan = cand + 2;
                    continue;
                }
            }
            if (lookup.directoryWithPrefix(rel.substr(0, start), component)) {
                pending = cand;
                scan = cand + 1;
                continue;
            }
            if (pending != std::string::npos && lookup.directory(rel, start, pending, stored)) {
                rel.replace(start, pending - start, stored);
                pending = start + stored.size();
                rel[pending] = Separator;
                start = scan = pending + 1;
                pending = std::string::npos;
                continue;
            }
            break;
        }
        if (atEnd && pending != std::string::npos && lookup.directory(rel, start, pending, stored)) {
            rel.replace(start, pending - start, stored);
            pending = start + stored.size();
            if (pending >= rel.size())
                rel += Separator;
            else
                rel[pending] = Separator;
            start = pending + 1;
        }

        if (start < rel.size()) {
            std::string last = rel.substr(start);
            dosApplyTrailingRule(last);
            dosApplyReservedRule(last);
            Lookup::Entry entry;
            bool exists = lookup.find(rel.substr(0, start), last, entry);
            if (extensionRule && settings.ConvertFileExtension && !exists) {
                for (size_t i = last.size() >= 2 ? last.size() - 2 : 0; i >= 1 && i < last.size(); --i) {
                    if (last[i] == Separator || last[i] == '.') break;
                    if (last[i] == '_') {
                        last[i] = '.';
                        dosApplyReservedRule(last);
                        exists = lookup.find(rel.substr(0, start), last, entry);
                        break;
                    }
                }
            }
            // An existing entry in another letter case is the one the guest means.
            if (exists) last = entry.stored;
            if (exists && entry.kind == FsKind::Escape) lookup.escaped = true;
            rel.replace(start, std::string::npos, last);
        }
    }

    if (lookup.escaped || !confined(rel)) return refuse(out, guestName, "leaves the drive");
    if (baseLength + rel.size() > DosHostPathMax) return refuse(out, guestName, "too long");
    return 0;
}
