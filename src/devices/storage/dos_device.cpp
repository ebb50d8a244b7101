#include "devices/storage/dos_device.h"

#include "config/configuration.h"
#include "config/settings.h"
#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "log/log.h"
#include "core/ql_charset.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/storage/dos_handles.h"
#include "devices/storage/dos_names.h"
#include "devices/storage/host_error.h"
#include "devices/storage/stored_header.h"
#include "platform/fs_host.h"
#include "platform/host_process.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

namespace Op {
constexpr unsigned OpenNew = 0;
constexpr unsigned OpenOverwrite = 2;
constexpr unsigned OpenDirectory = 3;
constexpr unsigned OpenExclusive = 4;
constexpr unsigned OpenShared = 5;
constexpr unsigned Close = 6;
constexpr unsigned CloseAll = 7;
constexpr unsigned Delete = 8;
constexpr unsigned DeleteTempDirFile = 9;
constexpr unsigned CreateDirectory = 10;
constexpr unsigned Read = 12;
constexpr unsigned ReadHeader = 13;
constexpr unsigned Write = 14;
constexpr unsigned SaveHeader = 15;
constexpr unsigned MovePointer = 16;
constexpr unsigned Truncate = 18;
constexpr unsigned Rename = 20;
constexpr unsigned GetBaseDirectory = 22;
constexpr unsigned SetBaseDirectory = 23;
constexpr unsigned GetFileAttributes = 24;
constexpr unsigned SetFileAttributes = 25;
constexpr unsigned GetFileSize = 26;
constexpr unsigned GetFileDate = 28;
constexpr unsigned SetFileDate = 29;
constexpr unsigned DiscFree = 30;
constexpr unsigned MediumInformation = 31;
}  // namespace Op

// Registers the operations use besides the one the word names.
constexpr unsigned RegD0 = 0, RegD1 = 1, RegD2 = 2;
constexpr unsigned RegA0 = 0, RegA1 = 1;

// Host attribute bits as the guest sees them.
namespace Attr {
constexpr uint8_t ReadOnly = 0x01;
constexpr uint8_t Hidden = 0x02;
constexpr uint8_t Directory = 0x10;
constexpr uint8_t Archive = 0x20;
constexpr uint8_t Settable = 0x27;  // what headers and SetFileAttributes carry
constexpr uint8_t Visible = 0x37;   // what GetFileAttributes reports
}  // namespace Attr

constexpr uint32_t FreeSpaceUnit = 4096;
constexpr uint32_t SectorUnit = 512;
constexpr uint32_t SaveHeaderAnswer = 14;
constexpr size_t MinfNameSize = 10;
constexpr size_t XinfSize = 64;
constexpr size_t XinfNameMax = 20;
constexpr size_t BaseDirectoryMax = 199;
constexpr unsigned DiscFreeHighestRegister = 5;
constexpr int64_t Seconds1961To1970 = (9 * 365 + 2) * int64_t(86400);
constexpr uint32_t NoDate = 0xFFFFFFFF;

DosHandleTable handles;
std::vector<uint8_t> transfer;  // the bounce buffer between host files and guest memory

// ---- guest memory ----------------------------------------------------------------------

// Every byte the device puts into guest memory passes here, so the display hears of it.
bool writeGuest(uint32_t address, const void* data, uint32_t length)
{
    return guestWriteFromHost(address, data, length);
}

// The QDOS string at a as raw guest bytes; false when it lies beyond RAM.
bool readGuestName(uint32_t a, std::string& name)
{
    const uint8_t* head = guestRange(a, 2);
    if (!head) return false;
    uint32_t length = uint32_t(head[0]) << 8 | head[1];
    const uint8_t* text = guestRange(a, 2 + length);
    if (!text) return false;
    name.assign(reinterpret_cast<const char*>(text + 2), length);
    return true;
}

// ---- log lines -------------------------------------------------------------------------

// An operation's line is built in parts (what it does, then how it ended) and goes out
// whole, so the log keeps one line per operation.
std::string pendingLine;

void appendFormatted(std::string& to, const char* fmt, va_list args)
{
    char text[256];
    int n = vsnprintf(text, sizeof text, fmt, args);
    if (n > 0) to.append(text, std::min<size_t>(size_t(n), sizeof text - 1));
}

__attribute__((format(printf, 1, 2))) void logPart(const char* fmt, ...)
{
    if (!zlogEnabled(LogCat::HostDir)) return;
    va_list args;
    va_start(args, fmt);
    appendFormatted(pendingLine, fmt, args);
    va_end(args);
}

void flushLine()
{
    if (pendingLine.empty()) return;
    zlog(LogCat::HostDir, "%s", pendingLine.c_str());
    pendingLine.clear();
}

__attribute__((format(printf, 1, 2))) void logEnd(const char* fmt, ...)
{
    if (!zlogEnabled(LogCat::HostDir)) return;
    va_list args;
    va_start(args, fmt);
    appendFormatted(pendingLine, fmt, args);
    va_end(args);
    flushLine();
}

// Whatever an operation began to log goes out when it returns, ended or not.
template <HostOperation Operation>
int32_t logged(unsigned n)
{
    int32_t result = Operation(n);
    flushLine();
    return result;
}

// ---- results ---------------------------------------------------------------------------

int32_t hostError(int negativeErrno)
{
    int error = -negativeErrno;
    if (error == EXDEV || error == ELOOP) logPart("name refused, outside the drive: ");
    int32_t code = guestErrorFromHost(error);
    logEnd("error (%i/%u)\n", code, unsigned(error));
    return code;
}

int32_t invalidHandle(const char* operation)
{
    flushLine();
    zlog(LogCat::HostDir, "DOS_%s: invalid handle\r\n", operation);
    return GuestError::BadParameter;
}

// ---- host facts ------------------------------------------------------------------------

uint32_t guestDate(int64_t utc)
{
    int64_t d = fsUtcToLocal(utc) + Seconds1961To1970;
    return d < 0 || d > int64_t(UINT32_MAX) ? NoDate : uint32_t(d);
}

int64_t hostDate(uint32_t date) { return fsLocalToUtc(int64_t(date) - Seconds1961To1970); }

// The last component of a host path.
std::string leafOf(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    return slash == std::string::npos || p.size() == 1 ? p : p.substr(slash + 1);
}

uint8_t attributesOf(const FsInfo& info, const std::string& hostName)
{
    uint8_t a = 0;
    if (!info.writable) a |= Attr::ReadOnly;
    if (!hostName.empty() && hostName[0] == '.') a |= Attr::Hidden;
    if (info.kind == FsKind::Directory)
        a |= Attr::Directory;
    else
        a |= Attr::Archive;
    return a;
}

void fillDates(HeaderImage& h, int64_t modified)
{
    uint32_t date = guestDate(modified);
    putBig32(&h[QdosHeader::UpdateDate], date);
    putBig32(&h[QdosHeader::BackupDate], date);
}

void setHeaderName(HeaderImage& h, std::string_view guestName)
{
    size_t n = std::min(guestName.size(), DosGuestNameMax);
    h[QdosHeader::NameLength] = 0;
    h[QdosHeader::NameLength + 1] = uint8_t(n);
    memset(&h[QdosHeader::Name], 0, DosGuestNameMax);
    memcpy(&h[QdosHeader::Name], guestName.data(), n);
}

// The anchor of a record's path, open for the length of one operation.
class AnchorUse {
public:
    explicit AnchorUse(DosPath& path) : path_(path), error_(path.openAnchor()) {}
    ~AnchorUse() { path_.releaseAnchor(); }
    AnchorUse(const AnchorUse&) = delete;
    AnchorUse& operator=(const AnchorUse&) = delete;
    int error() const { return error_; }

private:
    DosPath& path_;
    int error_;
};

// ---- opening ---------------------------------------------------------------------------

// The guest name at An and its translation. Logs nothing; the caller logs its own line.
int32_t nameFrom(unsigned n, bool extensionRule, std::string& guestName, DosPath& path)
{
    if (!readGuestName(cpu.A[n], guestName)) return GuestError::BadParameter;
    return dosTranslateName(cpu.D[RegD2], guestName, extensionRule, path);
}

// A record for an open host file; on failure the file is closed.
int32_t attach(int fd, DosPath&& path, std::string_view guestName, bool writable, bool readStoredHeader)
{
    uint32_t handle = 0;
    DosRecord* r = handles.allocate(handle);
    if (!r) {
        logEnd("error allocating handle\n");
        fsClose(fd);
        return GuestError::OutOfMemory;
    }
    r->fd = fd;
    r->path = std::move(path);
    r->path.releaseAnchor();
    r->writable = writable;
    setHeaderName(r->header, guestName);
    if (readStoredHeader) {
        uint8_t head[StoredHeader::Size];
        int64_t got = fsReadAt(fd, head, sizeof head, 0);
        StoredHeaderInfo info = parseStoredHeader(head, got > 0 ? size_t(got) : 0);
        r->hasStored = info.present;
        r->dataOffset = info.dataOffset;
        r->position = info.dataOffset;
        if (info.fieldsTaken) memcpy(&r->header[QdosHeader::FieldsStart], info.fields, QdosHeader::FieldsSize);
    }
    cpu.D[RegD1] = handle;
    logEnd("ok ($%08x)\n", handle);
    return 0;
}

int32_t openNew(unsigned n)
{
    std::string guestName;
    DosPath path;
    int32_t result = nameFrom(n, true, guestName, path);
    if (result != 0) return result;
    logPart("DOS OpenNew (\"%s\"): ", path.full().c_str());
    FsInfo info;
    if (fsStat(path.anchor(), path.host(), info) == 0 && info.kind == FsKind::Directory) {
        logEnd("err_fex\n");
        return GuestError::AlreadyExists;
    }
    int fd = fsOpenFile(path.anchor(), path.host(), FsOpen::Read | FsOpen::Write | FsOpen::Create | FsOpen::Exclusive);
    if (fd < 0) return hostError(fd);
    return attach(fd, std::move(path), guestName, true, false);
}

enum class OpenVariant { Overwrite, Exclusive, Shared };

int32_t openFile(unsigned n, OpenVariant variant)
{
    std::string guestName;
    DosPath path;
    int32_t result = nameFrom(n, true, guestName, path);
    if (result != 0) return result;
    unsigned mode = FsOpen::Read | FsOpen::Write;
    if (variant == OpenVariant::Overwrite) mode |= FsOpen::Create | FsOpen::Truncate;
    if (variant == OpenVariant::Shared) mode = FsOpen::Read;
    logPart("DOS Open (\"%s\", $%x): ", path.full().c_str(), mode);
    if (variant == OpenVariant::Shared) {
        FsInfo info;
        if (fsStat(path.anchor(), path.host(), info) == 0 && info.kind == FsKind::Directory) {
            logEnd("err_fdnf\n");
            return GuestError::NotFound;
        }
    }
    int fd = fsOpenFile(path.anchor(), path.host(), mode);
    // A file the host will not let us write, or one on a read-only medium, is still opened
    // for reading.
    if ((fd == -EACCES || fd == -EROFS) && variant == OpenVariant::Exclusive) {
        mode = FsOpen::Read;
        fd = fsOpenFile(path.anchor(), path.host(), mode);
    }
    if (fd < 0) return hostError(fd);
    return attach(fd, std::move(path), guestName, (mode & FsOpen::Write) != 0, true);
}

int32_t openOverwrite(unsigned n) { return openFile(n, OpenVariant::Overwrite); }
int32_t openExclusive(unsigned n) { return openFile(n, OpenVariant::Exclusive); }
int32_t openShared(unsigned n) { return openFile(n, OpenVariant::Shared); }

std::string listingFileName(uint32_t key)
{
    std::string dir = fsTemporaryDirectory();
    if (dir.size() > 246) dir = ".";
    char name[16];
    snprintf(name, sizeof name, "%08x.tmp", key);
    return dir + "/" + name;
}

// Bytes of a host file's stored header and its data length, read by path.
void fileEntry(const FsAnchor& at, const std::string& path, const FsInfo& info, HeaderImage& h)
{
    uint64_t dataLength = info.size;
    if (info.size >= StoredHeader::Size) {
        int fd = fsOpenFile(at, path, FsOpen::Read);
        if (fd >= 0) {
            uint8_t head[StoredHeader::Size];
            int64_t got = fsReadAt(fd, head, sizeof head, 0);
            fsClose(fd);
            StoredHeaderInfo stored = parseStoredHeader(head, got > 0 ? size_t(got) : 0);
            if (stored.fieldsTaken) memcpy(&h[QdosHeader::FieldsStart], stored.fields, QdosHeader::FieldsSize);
            if (stored.present) dataLength = info.size > stored.dataOffset ? info.size - stored.dataOffset : 0;
        }
    }
    putBig32(&h[QdosHeader::Length], uint32_t(dataLength));
}

// The guest form of a host entry name in a listing: files may show their extension
// after '_' instead of '.', unless a file of that name exists beside them.
std::string listedName(const std::string& hostName, FsKind kind, const std::vector<std::string>& siblingsFolded)
{
    std::string name = dosWithoutReservedMark(hostName);
    if (settings.ConvertFileExtension && kind != FsKind::Directory && name.size() >= 3) {
        for (size_t i = name.size() - 2; i >= 1; --i) {
            if (name[i] == '\\' || name[i] == '_') break;
            if (name[i] == '.') {
                std::string changed = name;
                changed[i] = '_';
                if (!std::binary_search(siblingsFolded.begin(), siblingsFolded.end(), dosFold(changed))) name = changed;
                break;
            }
        }
    }
    return dosHostToGuest(name);
}

int32_t openDirectory(unsigned n)
{
    std::string guestName;
    if (!readGuestName(cpu.A[n], guestName)) return GuestError::BadParameter;
    std::string listing = listingFileName(cpu.A[RegA0]);
    logPart("DOS OpenDirectory (%i, \"%s\", \"%s\"): ", int32_t(cpu.D[RegD2]),
            cp1252ToUtf8(dosGuestToHost(guestName)).c_str(), listing.c_str());
    DosPath path;
    int32_t result = dosTranslateName(cpu.D[RegD2], guestName, false, path);
    if (result != 0) return result == GuestError::BadName ? result : GuestError::NotFound;

    const FsAnchor anywhere{FsCurrentDirectory, false};
    // The listing goes to the shared temporary folder: a link planted there under its
    // name must not redirect the write.
    fsRemoveFile(anywhere, listing);
    int out = fsOpenFile(anywhere, listing, FsOpen::Read | FsOpen::Write | FsOpen::Create | FsOpen::Exclusive);
    if (out < 0) return hostError(out);

    // Which directory: the path itself, else the part before its last separator.
    const char separator = path.drive == 0 ? '/' : '\\';
    FsInfo info;
    if (fsStat(path.anchor(), path.host(), info) != 0 || info.kind != FsKind::Directory) {
        size_t cut = path.rel.rfind(separator);
        path.rel = cut == std::string::npos ? (path.drive == 0 ? "." : "") : path.rel.substr(0, cut + 1);
    }
    std::string dirHost = path.host();

    // The guest's name, rewritten from the path below the base.
    std::string rewritten;
    if (path.drive != 0) {
        size_t start = 0;
        while (start < path.rel.size()) {
            size_t end = path.rel.find('\\', start);
            if (end == std::string::npos) end = path.rel.size();
            rewritten += dosHostToGuest(path.rel.substr(start, end - start));
            if (end < path.rel.size()) rewritten += '_';
            start = end + 1;
        }
    }
    size_t prefix = std::min(rewritten.size(), DosGuestNameMax);
    rewritten.resize(prefix);

    std::vector<std::pair<std::string, FsKind>> entries;
    int listed = fsListDirectory(path.anchor(), dirHost, [&entries](const std::string& name, FsKind kind) {
        entries.emplace_back(name, kind);
        return true;
    });
    if (listed < 0) {
        fsClose(out);
        return hostError(listed);
    }
    std::vector<std::string> folded;
    folded.reserve(entries.size());
    for (const auto& e : entries) folded.push_back(dosFold(utf8ToCp1252(e.first)));
    std::sort(folded.begin(), folded.end());

    std::string dirPrefix = dirHost.empty() || dirHost.back() == '/' ? dirHost : dirHost + "/";
    std::vector<uint8_t> block;
    block.reserve(entries.size() * QdosHeader::Size);
    for (const auto& [name, kind] : entries) {
        std::string entryHost = dirPrefix + name;
        FsInfo e;
        if (fsStat(path.anchor(), entryHost, e) != 0) continue;
        std::string guest = rewritten + listedName(utf8ToCp1252(name), e.kind, folded);
        if (guest.size() > DosGuestNameMax) continue;
        HeaderImage h{};
        setHeaderName(h, guest);
        if (e.kind == FsKind::Directory) {
            uint32_t count = 0;
            fsListDirectory(path.anchor(), entryHost, [&count](const std::string&, FsKind) {
                ++count;
                return true;
            });
            h[QdosHeader::Type] = QdosHeader::DirectoryType;
            putBig32(&h[QdosHeader::Length], QdosHeader::Size * count);
        } else {
            fileEntry(path.anchor(), entryHost, e, h);
        }
        putBig32(&h[QdosHeader::Length], getBig32(&h[QdosHeader::Length]) + uint32_t(QdosHeader::Size));
        h[QdosHeader::Access] = attributesOf(e, name) & Attr::Settable;
        fillDates(h, e.modified);
        block.insert(block.end(), h.begin(), h.end());
    }
    int64_t written = fsWriteAt(out, block.data(), block.size(), 0);
    fsClose(out);
    if (written < 0) return hostError(int(written));

    int in = fsOpenFile(anywhere, listing, FsOpen::Read);
    if (in < 0) return hostError(in);

    uint8_t* name = guestRange(cpu.A[n], uint32_t(2 + prefix));
    if (!name) {
        fsClose(in);
        return GuestError::BadParameter;
    }
    uint16_t length = uint16_t(prefix > 0 && rewritten.back() == '_' ? prefix - 1 : prefix);
    uint8_t lengthWord[2] = {uint8_t(length >> 8), uint8_t(length)};
    writeGuest(cpu.A[n], lengthWord, 2);
    writeGuest(cpu.A[n] + 2, rewritten.data(), uint32_t(prefix));

    path.rel = path.rel.empty() || path.rel.back() != '\\' ? path.rel : path.rel.substr(0, path.rel.size() - 1);
    uint32_t handle = 0;
    DosRecord* r = handles.allocate(handle);
    if (!r) {
        logEnd("error allocating handle\n");
        fsClose(in);
        return GuestError::OutOfMemory;
    }
    r->fd = in;
    r->path = std::move(path);
    r->path.releaseAnchor();
    r->directory = true;
    setHeaderName(r->header, rewritten.substr(0, length));
    cpu.D[RegD1] = handle;
    logEnd("ok ($%08x)\n", handle);
    return 0;
}

int32_t deleteTempDirFile(unsigned)
{
    std::string listing = listingFileName(cpu.A[RegA0]);
    logPart("DOS DeleteTempDirFile: ");
    int e = fsRemoveFile({FsCurrentDirectory, false}, listing);
    if (e < 0) return hostError(e);
    logEnd("ok\n");
    return 0;
}

// ---- open files ------------------------------------------------------------------------

int32_t closeHandle(unsigned)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("Close");
    logEnd("DOS Close ($%08x)\n", handle);
    fsClose(r->fd);
    handles.free(handle);
    return 0;
}

int32_t closeAll(unsigned)
{
    logEnd("DOS CloseAll\n");
    handles.forEachOpen([](DosRecord& r) {
        fsClose(r.fd);
        r.fd = -1;
    });
    return 0;
}

int32_t readFile(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("Read");
    uint32_t count = cpu.D[RegD0];
    uint32_t buffer = cpu.A[n];
    logPart("DOS Read ($%08x, $%08x, %u): ", handle, buffer, count);
    if (!guestRange(buffer, count)) return GuestError::BadParameter;
    if (transfer.size() < count) transfer.resize(count);
    int64_t got = r->fd < 0 ? -EBADF : fsReadAt(r->fd, transfer.data(), count, r->position);
    if (got < 0) return hostError(int(got));
    r->position += uint64_t(got);
    writeGuest(buffer, transfer.data(), uint32_t(got));
    cpu.D[RegD0] = uint32_t(got);
    cpuSetC(uint32_t(got) != count);
    logEnd("ok (%u)\n", unsigned(got));
    return HostCallResult::KeepRegisters;
}

int32_t writeFile(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("Write");
    uint32_t count = cpu.D[RegD0];
    uint32_t buffer = cpu.A[n];
    const uint8_t* data = guestRange(buffer, count);
    if (!data) return GuestError::BadParameter;
    logPart("DOS Write ($%08x, $%08x, %u): ", handle, buffer, count);
    if (r->fd < 0) return hostError(-EBADF);
    // A channel opened for reading refuses writes the way the host refuses them.
    if (!r->writable) return hostError(-EACCES);
    FsInfo before;
    if (int e = fsStatOpen(r->fd, before); e < 0) return hostError(e);
    int64_t put = fsWriteAt(r->fd, data, count, r->position);
    if (put < 0) {
        // What a failed write added is taken back: the file stays as it was.
        FsInfo after;
        if (fsStatOpen(r->fd, after) == 0 && after.size > before.size) fsTruncate(r->fd, before.size);
        return hostError(int(put));
    }
    r->position += uint64_t(put);
    logEnd("ok (%u)\n", unsigned(put));
    return int32_t(put);
}

int32_t movePointer(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("MovePointer");
    logPart("DOS MovePointer ($%08x, %i): ", handle, int32_t(cpu.D[n]));
    if (r->fd < 0) return hostError(-EBADF);
    r->position = uint64_t(r->dataOffset) + cpu.D[n];
    logEnd("ok\n");
    return 0;
}

int32_t truncateFile(unsigned)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("Truncate");
    logPart("DOS Truncate ($%08x): ", handle);
    if (r->fd < 0) return hostError(-EBADF);
    if (!r->writable) return hostError(-EACCES);
    if (int e = fsTruncate(r->fd, r->position); e < 0) return hostError(e);
    logEnd("ok\n");
    return 0;
}

int32_t readHeader(unsigned)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("ReadHeader");
    uint32_t buffer = cpu.A[RegA1];
    uint32_t length = std::min<uint32_t>(cpu.D[RegD0] & 0xFFFF, QdosHeader::Size);
    logPart("DOS ReadHeader (\"%s\", $%08x, $%08x, %i): ", r->path.full().c_str(), handle, buffer,
            int(cpu.D[RegD0] & 0xFFFF));
    if (!guestRange(buffer, length)) return GuestError::BadParameter;
    HeaderImage h = r->header;
    FsInfo file;
    if (r->fd < 0) return hostError(-EBADF);
    if (int e = fsStatOpen(r->fd, file); e < 0) return hostError(e);
    FsInfo named = file;
    if (r->directory) {
        AnchorUse use(r->path);
        if (use.error() < 0) return hostError(use.error());
        if (int e = fsStat(r->path.anchor(), r->path.host(), named); e < 0) return hostError(e);
        h[QdosHeader::Type] = QdosHeader::DirectoryType;
        putBig32(&h[QdosHeader::Length], uint32_t(file.size));
    } else {
        putBig32(&h[QdosHeader::Length], uint32_t(file.size > r->dataOffset ? file.size - r->dataOffset : 0));
    }
    h[QdosHeader::Access] = attributesOf(named, leafOf(r->path.host())) & Attr::Settable;
    fillDates(h, named.modified);
    writeGuest(buffer, h.data(), length);
    cpu.D[RegD1] = length;
    logEnd("ok\n");
    return 0;
}

int32_t saveHeader(unsigned)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("SaveHeader");
    logPart("DOS SaveHeader (\"%s\", $%08x): ", r->path.full().c_str(), handle);
    const uint8_t* guest = guestRange(cpu.A[RegA1], QdosHeader::NameLength);
    if (!guest) return GuestError::BadParameter;
    memcpy(&r->header[QdosHeader::FieldsStart], guest + QdosHeader::FieldsStart, QdosHeader::FieldsSize);

    AnchorUse use(r->path);
    if (use.error() < 0) return hostError(use.error());
    FsInfo info;
    if (int e = fsStat(r->path.anchor(), r->path.host(), info); e < 0) return hostError(e);
    bool readOnly = (r->header[QdosHeader::Access] & Attr::ReadOnly) != 0;
    if (readOnly == info.writable)
        if (int e = fsSetWritable(r->path.anchor(), r->path.host(), !readOnly); e < 0) return hostError(e);
    if (r->directory) {
        logEnd("ok\n");
        return 0;
    }
    if (r->fd < 0) return hostError(-EBADF);
    if (!r->writable && (r->hasStored || r->header[QdosHeader::Type] != 0)) return hostError(-EACCES);
    // A header that did not reach the file is reported: the guest would otherwise believe
    // its type and dataspace were kept.
    if (int e = updateStoredHeader(r->fd, r->header, r->hasStored, r->dataOffset); e < 0) return hostError(e);
    cpu.D[RegD1] = SaveHeaderAnswer;
    logEnd("ok\n");
    return 0;
}

int32_t renameFile(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("Rename");
    std::string guestName;
    DosPath to;
    int32_t result = nameFrom(n, true, guestName, to);
    if (result != 0) return result;
    logPart("DOS Rename ($%08x, \"%s\"): ", handle, to.full().c_str());
    int e;
    {
        AnchorUse use(r->path);
        e = use.error() < 0 ? use.error() : fsRename(r->path.anchor(), r->path.host(), to.anchor(), to.host());
    }
    if (e < 0) return hostError(e);
    r->path = std::move(to);
    r->path.releaseAnchor();
    setHeaderName(r->header, guestName);
    logEnd("ok\n");
    return 0;
}

int32_t getFileSize(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("GetFileSize");
    logPart("DOS GetFileSize ($%08x): ", handle);
    FsInfo info;
    if (r->fd < 0) return hostError(-EBADF);
    if (int e = fsStatOpen(r->fd, info); e < 0) return hostError(e);
    cpu.D[n] = uint32_t(info.size);
    logEnd("ok (%u)\n", cpu.D[n]);
    return HostCallResult::KeepRegisters;
}

int32_t getFileDate(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("GetFileDate");
    logPart("DOS GetFileDate ($%08x): ", handle);
    FsInfo info;
    if (r->fd < 0) return hostError(-EBADF);
    if (int e = fsStatOpen(r->fd, info); e < 0) return hostError(e);
    cpu.D[n] = guestDate(info.modified);
    logEnd("ok (%u)\n", cpu.D[n]);
    return 0;
}

int32_t setFileDate(unsigned n)
{
    uint32_t handle = cpu.D[RegD1];
    DosRecord* r = handles.find(handle);
    if (!r) return invalidHandle("SetFileDate");
    logPart("DOS SetFileDate ($%08x, %i): ", handle, int32_t(cpu.D[n]));
    if (r->fd < 0) return hostError(-EBADF);
    if (int e = fsSetModified(r->fd, hostDate(cpu.D[n])); e < 0) return hostError(e);
    logEnd("ok\n");
    return 0;
}

// ---- names -----------------------------------------------------------------------------

int32_t deleteName(unsigned n)
{
    std::string guestName;
    DosPath path;
    int32_t result = nameFrom(n, true, guestName, path);
    if (result != 0) return result;
    logPart("DOS Delete (\"%s\"): ", path.full().c_str());
    while (!path.rel.empty() && path.rel.back() == (path.drive == 0 ? '/' : '\\')) path.rel.pop_back();
    FsInfo info;
    if (int e = fsStat(path.anchor(), path.host(), info); e < 0) return hostError(e);
    bool directory = info.kind == FsKind::Directory;
    if (directory) {
        bool empty = true;
        fsListDirectory(path.anchor(), path.host(), [&empty](const std::string&, FsKind) { return empty = false; });
        if (!empty) {
            logEnd("err_fdiu\n");
            return GuestError::InUse;
        }
    }
    auto remove = [&](const std::string& host) {
        return directory ? fsRemoveDirectory(path.anchor(), host) : fsRemoveFile(path.anchor(), host);
    };
    // The name is freed at once by renaming first, even while another program holds the
    // file open.
    std::string doomed;
    FsInfo probe;
    do {
        doomed = path.host() + "." + std::to_string(rand() % 32768) + ".delete";
    } while (fsStat(path.anchor(), doomed, probe) == 0);
    int e = fsRename(path.anchor(), path.host(), path.anchor(), doomed);
    if (e < 0) {
        logPart("Error renaming to %s: %u: ", (path.base + doomed).c_str(), unsigned(-e));
        e = remove(path.host());
    } else {
        logPart("renaming to %s: ", (path.base + doomed).c_str());
        e = remove(doomed);
        if (e < 0) {
            fsRename(path.anchor(), doomed, path.anchor(), path.host());
            e = remove(path.host());
        }
    }
    if (e < 0) return hostError(e);
    logEnd("ok\n");
    return 0;
}

int32_t createDirectory(unsigned n)
{
    std::string guestName;
    DosPath path;
    int32_t result = nameFrom(n, false, guestName, path);
    if (result != 0) return result;
    logPart("DOS CreateDirectory (\"%s\"): ", path.full().c_str());
    while (!path.rel.empty() && path.rel.back() == '\\') path.rel.pop_back();
    if (int e = fsMakeDirectory(path.anchor(), path.host()); e < 0) return hostError(e);

    // Files that carried the directory's name as a prefix move into it.
    if (path.drive != 0) {
        size_t cut = path.rel.rfind('\\');
        std::string parentRel = cut == std::string::npos ? std::string() : path.rel.substr(0, cut);
        std::string dirName = cut == std::string::npos ? path.rel : path.rel.substr(cut + 1);
        std::string parentHost = parentRel.empty() ? std::string() : cp1252ToUtf8(parentRel);
        std::replace(parentHost.begin(), parentHost.end(), '\\', '/');
        std::string parentPrefix = parentHost.empty() ? std::string() : parentHost + "/";
        std::vector<std::string> names;
        fsListDirectory(path.anchor(), parentHost, [&names](const std::string& name, FsKind) {
            names.push_back(name);
            return true;
        });
        std::string folded = dosFold(dirName);
        for (char mark : {'_', '.'}) {
            if (mark == '.' && !settings.ConvertFileExtension) break;
            for (const std::string& name : names) {
                std::string host = utf8ToCp1252(name);
                if (host.size() <= folded.size() + 1 || host[folded.size()] != mark ||
                    dosFold(host.substr(0, folded.size())) != folded)
                    continue;
                std::string member = cp1252ToUtf8(host.substr(folded.size() + 1));
                fsRename(path.anchor(), parentPrefix + name, path.anchor(), path.host() + "/" + member);
            }
        }
    }
    logEnd("ok\n");
    return 0;
}

int32_t getFileAttributes(unsigned n)
{
    std::string guestName;
    DosPath path;
    int32_t result = nameFrom(n, true, guestName, path);
    if (result != 0) return result;
    logPart("DOS GetFileAttributes (\"%s\"): ", path.full().c_str());
    FsInfo info;
    if (int e = fsStat(path.anchor(), path.host(), info); e < 0) return hostError(e);
    uint8_t a = attributesOf(info, leafOf(path.host())) & Attr::Visible;
    logEnd("ok (%u)\n", unsigned(a));
    return a;
}

int32_t setFileAttributes(unsigned n)
{
    std::string guestName;
    DosPath path;
    int32_t result = nameFrom(n, true, guestName, path);
    if (result != 0) return result;
    FsInfo info;
    if (int e = fsStat(path.anchor(), path.host(), info); e < 0) return hostError(e);
    logPart("DOS SetFileAttributes (\"%s\", %i): ", path.full().c_str(), int32_t(cpu.D[RegD0]));
    bool readOnly = (cpu.D[RegD0] & Attr::ReadOnly) != 0;
    if (readOnly == info.writable)
        if (int e = fsSetWritable(path.anchor(), path.host(), !readOnly); e < 0) return hostError(e);
    logEnd("ok\n");
    return 0;
}

// ---- drives ----------------------------------------------------------------------------

// The drive that D1 names for the drive operations; 0 when it names none.
int driveFromD1() { return cpu.D[RegD1] == 0 ? 0 : dosDriveFromSelector(cpu.D[RegD1]); }

struct DriveFacts {
    std::string full;  // the base's full path
    FsSpace space;
};

// Free space of a drive in `unit`s, each limited to 32 bits. 0 or a negative errno.
int driveSpace(int drive, DriveFacts& facts)
{
    facts.full = fsAbsolutePath(settings.DOS[drive - 1]);
    if (facts.full.empty()) return -ENOENT;
    int anchor = fsOpenAnchor(facts.full);
    if (anchor < 0) return anchor;
    int e = fsSpace({anchor, true}, facts.space);
    fsClose(anchor);
    return e;
}

uint32_t units(uint64_t bytes, uint32_t unit) { return uint32_t(std::min<uint64_t>(bytes / unit, UINT32_MAX)); }

std::string mediumName(const std::string& full)
{
    std::string name = full.size() <= 3 ? full : leafOf(full);
    std::string guest;
    for (char c : utf8ToCp1252(name)) guest += char(hostToQl(uint8_t(c)));
    return guest;
}

int32_t discFree(unsigned n)
{
    if (n > DiscFreeHighestRegister) return GuestError::BadParameter;
    int drive = driveFromD1();
    if (drive == 0) return GuestError::BadParameter;
    logPart("DOS DiscFree (%i): ", drive);
    DriveFacts facts;
    if (int e = driveSpace(drive, facts); e < 0) return hostError(e);
    cpu.D[n] = units(facts.space.available, FreeSpaceUnit);
    cpu.D[n + 1] = units(facts.space.total, FreeSpaceUnit);
    cpu.D[n + 2] = FreeSpaceUnit;
    logEnd("ok (%u/%u/%u)\n", cpu.D[n], cpu.D[n + 1], cpu.D[n + 2]);
    return 0;
}

int32_t mediumInfo()
{
    int drive = driveFromD1();
    logPart("DOS iof.minf (%i): ", drive);
    if (drive == 0) return GuestError::BadParameter;
    if (!guestRange(cpu.A[RegA1], MinfNameSize)) return GuestError::BadParameter;
    std::string name(MinfNameSize, ' ');
    std::string medium = mediumName(fsAbsolutePath(settings.DOS[drive - 1]));
    name.replace(0, std::min(medium.size(), MinfNameSize), medium.substr(0, MinfNameSize));
    writeGuest(cpu.A[RegA1], name.data(), MinfNameSize);
    DriveFacts facts;
    if (int e = driveSpace(drive, facts); e < 0) return hostError(e);
    uint32_t free = units(facts.space.available, SectorUnit), total = units(facts.space.total, SectorUnit);
    cpu.D[RegD1] = std::min<uint32_t>(free, 0xFFFF) << 16 | std::min<uint32_t>(total, 0xFFFF);
    logEnd("ok (%u, %u)\n", total, free);
    return 0;
}

int32_t extendedInfo()
{
    int drive = driveFromD1();
    logPart("DOS iof.xinf (%i): ", drive);
    if (drive == 0) return GuestError::BadParameter;
    if (!guestRange(cpu.A[RegA1], XinfSize)) return GuestError::BadParameter;
    uint8_t block[XinfSize] = {};
    std::string full = fsAbsolutePath(settings.DOS[drive - 1]);
    std::string medium = mediumName(full).substr(0, XinfNameMax);
    block[1] = uint8_t(medium.size());
    memcpy(block + 2, medium.data(), medium.size());
    block[23] = 3;
    memcpy(block + 24, "DOS", 4);
    block[28] = uint8_t(drive);
    block[30] = uint8_t(FreeSpaceUnit >> 8);
    block[31] = uint8_t(FreeSpaceUnit);
    block[43] = QdosHeader::Size;
    block[44] = 1;
    block[47] = 2;  // a fixed disk unless the host says otherwise
    memset(block + 49, 0xFF, XinfSize - 49);
    DriveFacts facts;
    int e = driveSpace(drive, facts);
    if (e == 0) {
        block[29] = facts.space.readOnly ? 1 : 0;
        switch (facts.space.medium) {
        case FsMedium::Ram:
            block[47] = 0;
            break;
        case FsMedium::OpticalDisc:
            block[47] = 3;
            block[48] = 1;
            break;
        case FsMedium::Removable:
            block[48] = 1;
            break;
        case FsMedium::Fixed:
            break;
        }
        putBig32(block + 32, units(facts.space.total, FreeSpaceUnit));
        putBig32(block + 36, units(facts.space.available, FreeSpaceUnit));
    }
    writeGuest(cpu.A[RegA1], block, XinfSize);
    if (e < 0) return hostError(e);
    logEnd("ok\n");
    return 0;
}

int32_t mediumInformation(unsigned n)
{
    switch (n) {
    case 0:
        return mediumInfo();
    case 1:
        return extendedInfo();
    default:
        return HostCallResult::Illegal;
    }
}

int32_t getBaseDirectory(unsigned n)
{
    int drive = driveFromD1();
    if (drive == 0) return GuestError::BadParameter;
    std::string text = utf8ToCp1252(settings.DOS[drive - 1]);
    std::string guest;
    for (char c : text) guest += char(hostToQl(uint8_t(c)));
    uint32_t room = cpu.D[RegD0] & 0xFFFF;
    if (guest.size() + 2 > room) return GuestError::BufferFull;
    if (!guestRange(cpu.A[n], uint32_t(guest.size() + 2))) return GuestError::BadParameter;
    uint8_t lengthWord[2] = {uint8_t(guest.size() >> 8), uint8_t(guest.size())};
    writeGuest(cpu.A[n], lengthWord, 2);
    writeGuest(cpu.A[n] + 2, guest.data(), uint32_t(guest.size()));
    return 0;
}

int32_t setBaseDirectory(unsigned n)
{
    int drive = driveFromD1();
    if (drive == 0) return GuestError::BadParameter;
    std::string text;
    int32_t result = getGuestStringAlloc(text, cpu.A[n]);
    if (result != 0) return result;
    text = expandEnvironmentStrings(text);
    if (text.size() > BaseDirectoryMax) return GuestError::BufferFull;
    if (text.empty()) return GuestError::BadParameter;
    settings.DOS[drive - 1] = cp1252ToUtf8(text);
    return 0;
}

struct Slot {
    unsigned index;
    HostOperation operation;
};
constexpr Slot Slots[] = {
    {Op::OpenNew, logged<openNew>},
    {Op::OpenOverwrite, logged<openOverwrite>},
    {Op::OpenDirectory, logged<openDirectory>},
    {Op::OpenExclusive, logged<openExclusive>},
    {Op::OpenShared, logged<openShared>},
    {Op::Close, logged<closeHandle>},
    {Op::CloseAll, logged<closeAll>},
    {Op::Delete, logged<deleteName>},
    {Op::DeleteTempDirFile, logged<deleteTempDirFile>},
    {Op::CreateDirectory, logged<createDirectory>},
    {Op::Read, logged<readFile>},
    {Op::ReadHeader, logged<readHeader>},
    {Op::Write, logged<writeFile>},
    {Op::SaveHeader, logged<saveHeader>},
    {Op::MovePointer, logged<movePointer>},
    {Op::Truncate, logged<truncateFile>},
    {Op::Rename, logged<renameFile>},
    {Op::GetBaseDirectory, logged<getBaseDirectory>},
    {Op::SetBaseDirectory, logged<setBaseDirectory>},
    {Op::GetFileAttributes, logged<getFileAttributes>},
    {Op::SetFileAttributes, logged<setFileAttributes>},
    {Op::GetFileSize, logged<getFileSize>},
    {Op::GetFileDate, logged<getFileDate>},
    {Op::SetFileDate, logged<setFileDate>},
    {Op::DiscFree, logged<discFree>},
    {Op::MediumInformation, logged<mediumInformation>},
};

}  // namespace

bool dosStart()
{
    handles.reset();
    fsIgnoreFileSizeSignal();
    for (const Slot& s : Slots) hostCallInstall(HostCallGroupId::Dos, s.index, s.operation);
    return true;
}

void dosShutDown()
{
    for (const Slot& s : Slots) hostCallRemove(HostCallGroupId::Dos, s.index);
    // Every write already went to the host with its call; closing hands the files back.
    handles.forEachOpen([](DosRecord& r) {
        fsClose(r.fd);
        r.fd = -1;
    });
    handles.release();
    std::vector<uint8_t>().swap(transfer);
}

MachinePart dosPart() { return {MachineSlot::Dos, dosStart, dosShutDown}; }
