#include "core/sys_calls.h"

#include "config/command_line.h"
#include "core/events.h"
#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "base/front_end.h"
#include "core/guest_write.h"
#include "log/log.h"
#include "core/qdos_string.h"
#include "core/ql_charset.h"
#include "core/ring_buffer.h"
#include "base/version.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "platform/host_process.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

// ---- registers -------------------------------------------------------------------------

uint32_t& dataReg(unsigned n) { return cpu.D[n]; }
uint32_t& addrReg(unsigned n) { return cpu.A[n]; }

// Operations that use Dn+1 or An+1 cannot take register 7.
bool hasPair(unsigned n) { return n < HostCallDecode::MaxRegister; }

// ---- host facts ------------------------------------------------------------------------

// A non-Windows host reports like the compatibility layer on that host.
#if defined(__APPLE__)
constexpr uint32_t HostSystemCode = 3;
#else
constexpr uint32_t HostSystemCode = 4;
#endif

constexpr uint32_t ProcessorType = 0x20;
constexpr size_t VersionChars = 4;

constexpr size_t ComputerNameMax = 39;
constexpr size_t ComputerNameBuffer = 40;

constexpr size_t WindowTitleMax = 63;
constexpr const char* WindowTitleProgram = "ZEM II";

constexpr size_t ClipboardGetMax = 32767;

// ---- state of the processor thread -----------------------------------------------------

constexpr unsigned SavedRegisterCount = 15;  // D0-D7, A0-A6
std::array<uint32_t, SavedRegisterCount> savedRegisters{};
std::optional<std::string> clipboardCopy;  // host code page

// ---- debug output ----------------------------------------------------------------------

// DebugPrint writes whatever the debug mask says, and may be longer than a log line.
void debugOutput(const std::string& text)
{
    std::string line = cp1252ToUtf8(text);
    std::string clean;
    clean.reserve(line.size() + 1);
    for (char c : line)
        if (c != '\r') clean += c;
    clean += '\n';
    const char* p = clean.data();
    size_t left = clean.size();
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, p, left);
        if (n <= 0) break;
        p += n;
        left -= size_t(n);
    }
}

void appendHex(std::string& out, const char* format, uint32_t value)
{
    char buffer[16];
    snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

// One line "D0 xxxxxxxx D1 ..." of a register bank. The name is built character by
// character: GCC 12 warns falsely about string concatenation here at -O3.
void appendRegisterLine(std::string& out, char bank, const uint32_t (&registers)[8])
{
    for (unsigned i = 0; i < 8; ++i) {
        if (i) out += ' ';
        out += bank;
        out += char('0' + i);
        out += ' ';
        appendHex(out, "%08x", registers[i]);
    }
    out += "\r\n";
}

void appendRegisterDump(std::string& out)
{
    appendRegisterLine(out, 'D', cpu.D);
    appendRegisterLine(out, 'A', cpu.A);
}

constexpr unsigned MemoryDumpBytes = 16;
constexpr uint8_t FirstPrintable = 0x20;

void appendMemoryDump(std::string& out, uint32_t address)
{
    uint8_t bytes[MemoryDumpBytes];
    for (unsigned i = 0; i < MemoryDumpBytes; ++i) bytes[i] = guestReadByte(address + i);
    for (unsigned i = 0; i < MemoryDumpBytes; ++i) {
        if (i) out += ' ';
        appendHex(out, "%02x", bytes[i]);
    }
    out += "  ";
    for (uint8_t b : bytes) {
        uint8_t host = qlToHost(b);
        out += (host < FirstPrintable || host == 0x7F) ? '.' : char(host);
    }
}

void appendGuestString(std::string& out, uint32_t address)
{
    if (address == 0) {
        out += "(null)";
        return;
    }
    std::string text;
    if (getGuestStringAlloc(text, address) != 0) {
        out += "(bad address)";
        return;
    }
    out += text;
}

}  // namespace

std::string debugPrintExpand(const std::string& text)
{
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i >= text.size()) break;
        char next = text[i];
        if (next == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (next == 'r') {
            appendRegisterDump(out);
            ++i;
            continue;
        }
        char form = 0;
        if (next == 's' || next == 'm') {
            form = next;
            if (++i >= text.size()) break;
        }
        char kind = text[i];
        if (kind != 'a' && kind != 'd') {
            // The character that broke the directive is plain text.
            out += kind;
            ++i;
            continue;
        }
        if (++i >= text.size()) break;
        char digit = text[i];
        if (digit < '0' || digit > '7') {
            out += digit;
            ++i;
            continue;
        }
        ++i;
        unsigned n = unsigned(digit - '0');
        uint32_t value = kind == 'a' ? cpu.A[n] : cpu.D[n];
        if (form == 's')
            appendGuestString(out, value);
        else if (form == 'm')
            appendMemoryDump(out, value);
        else
            appendHex(out, "%08x", value);
    }
    return out;
}

int32_t shellResultToGuest(int shellResult)
{
    if (shellResult > ShellResult::DllNotFound) return 0;
    switch (shellResult) {
    case ShellResult::OutOfResources:
    case ShellResult::OutOfMemory:
        return GuestError::OutOfMemory;
    case ShellResult::FileNotFound:
    case ShellResult::PathNotFound:
    case ShellResult::DllNotFound:
        return GuestError::NotFound;
    case ShellResult::AccessDenied:
        return GuestError::HostAccessDenied;
    case ShellResult::Share:
        return GuestError::InUse;
    case ShellResult::AssociationIncomplete:
        return GuestError::NotComplete;
    case ShellResult::DdeTimeout:
    case ShellResult::DdeFail:
    case ShellResult::DdeBusy:
        return GuestError::TransmissionError;
    case ShellResult::NoAssociation:
        return GuestError::BadParameter;
    default:
        return GuestError::NotComplete;
    }
}

void sysResetState()
{
    savedRegisters.fill(0);
    clipboardCopy.reset();
}

// ---- operations ------------------------------------------------------------------------

int32_t sysQuit(unsigned)
{
    // A stray word must not end the machine: without the check word it is an illegal
    // instruction reported at the word itself.
    if (!hostCallTakeCheckWord()) return HostCallResult::Illegal;
    frontEnd().requestQuit();
    return HostCallResult::Stop;
}

int32_t sysGetVersion(unsigned n)
{
    if (!hasPair(n)) return HostCallResult::Illegal;
    const std::string& version = getVersionText();
    uint32_t packed = 0;
    for (size_t i = 0; i < VersionChars; ++i) packed = packed << 8 | (i < version.size() ? uint8_t(version[i]) : 0);
    dataReg(n) = packed;
    dataReg(n + 1) = ProcessorType;
    return HostCallResult::KeepRegisters;
}

int32_t sysGetHostSystem(unsigned n)
{
    dataReg(n) = HostSystemCode;
    return HostCallResult::KeepRegisters;
}

int32_t sysGetRamSize(unsigned n)
{
    addrReg(n) = mem.ramSize;
    return HostCallResult::KeepRegisters;
}

int32_t sysGetComputerName(unsigned n)
{
    std::string name = utf8ToCp1252(hostComputerName());
    if (name.size() > ComputerNameMax) name.resize(ComputerNameMax);
    putGuestString(addrReg(n), ComputerNameBuffer, name);
    return HostCallResult::KeepRegisters;
}

int32_t sysClearMemory(unsigned n)
{
    uint32_t end = std::min(dataReg(n), mem.ramSize);
    if (end > ClearMemoryStart) {
        guestFillFromHost(ClearMemoryStart, 0, end - ClearMemoryStart);
    }
    return HostCallResult::KeepRegisters;
}

int32_t sysSaveRegisters(unsigned)
{
    for (unsigned i = 0; i < SavedRegisterCount; ++i) savedRegisters[i] = cpuRegister(i);
    return HostCallResult::KeepRegisters;
}

int32_t sysRestoreRegisters(unsigned)
{
    for (unsigned i = 0; i < SavedRegisterCount; ++i) cpuRegister(i) = savedRegisters[i];
    return HostCallResult::KeepRegisters;
}

namespace {
constexpr unsigned RingHandleRegister = 2;  // D2
constexpr unsigned RingByteRegister = 1;    // D1
}  // namespace

int32_t sysRingGet(unsigned)
{
    RingBuffer* ring = ringFromHandle(dataReg(RingHandleRegister));
    if (!ring) return HostCallResult::KeepRegisters;
    std::optional<uint8_t> byte = ring->get();
    cpuSetZ(!byte);
    if (byte) dataReg(RingByteRegister) = *byte;
    return HostCallResult::KeepRegisters;
}

int32_t sysRingPut(unsigned n)
{
    if (RingBuffer* ring = ringFromHandle(dataReg(RingHandleRegister))) ring->put(uint8_t(dataReg(n)));
    return HostCallResult::KeepRegisters;
}

int32_t sysRingTest(unsigned)
{
    // Z answers "no room": set for a full ring, and for a handle that names no ring, so a
    // writer never puts into either.
    RingBuffer* ring = ringFromHandle(dataReg(RingHandleRegister));
    cpuSetZ(!ring || ring->full());
    return HostCallResult::KeepRegisters;
}

int32_t sysGetCommandLine()
{
    std::string text = utf8ToCp1252(commandLine.cmdline);
    if (text.size() > QdosStringMax) text.resize(QdosStringMax);
    GuestWriteSpan dest = guestWriteSpan(addrReg(0), uint32_t(QdosLengthSize + text.size()));
    if (!dest) return GuestError::BadParameter;
    size_t room = uint16_t(dataReg(1));
    int32_t result = putQdosString(dest.data(), room, text);
    if (result != 0) dest.written(0);
    return result;
}

int32_t sysSetWindowTitle()
{
    // The whole string must lie in RAM before its length is judged.
    std::string text;
    if (getGuestStringAlloc(text, addrReg(0)) != 0) return GuestError::BadParameter;
    if (text.size() > WindowTitleMax) return GuestError::BufferFull;
    std::string title = text.empty() ? std::string(WindowTitleProgram) + " " + getReleaseVersion() : text;
    frontEnd().setWindowTitle(cp1252ToUtf8(title));
    return 0;
}

int32_t sysIsForeground()
{
    dataReg(1) = frontEnd().isForeground() ? 1 : 0;
    return 0;
}

int32_t sysFlashWindow()
{
    frontEnd().flashWindow();
    return 0;
}

namespace {
constexpr char CarriageReturn = '\r';
constexpr char LineFeed = '\n';
}  // namespace

int32_t sysClipboardPut(unsigned n)
{
    std::string text;
    if (getGuestStringAlloc(text, addrReg(n)) != 0) return GuestError::BadParameter;
    // The guest ends lines with LF; the host clipboard text carries CR LF.
    std::string host;
    host.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == LineFeed && (i == 0 || text[i - 1] != CarriageReturn)) host += CarriageReturn;
        host += c;
    }
    if (!frontEnd().clipboardPut(cp1252ToUtf8(host))) return GuestError::NotComplete;
    return 0;
}

int32_t sysClipboardFetch(unsigned n)
{
    std::optional<std::string> text = frontEnd().clipboardText();
    if (!text) return GuestError::NotComplete;
    clipboardCopy = utf8ToCp1252(*text);
    dataReg(n) = uint32_t(clipboardCopy->size() + 1);
    return 0;
}

int32_t sysClipboardGet(unsigned n)
{
    if (dataReg(1) == 0 || !clipboardCopy) return HostCallResult::KeepRegisters;
    size_t length = std::min(clipboardCopy->size(), ClipboardGetMax);
    GuestWriteSpan span = guestWriteSpan(addrReg(n), uint32_t(QdosLengthSize + length));
    if (!span) return GuestError::BadParameter;
    uint8_t* dest = span.data();
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = (*clipboardCopy)[i];
        if (c == CarriageReturn) continue;
        dest[QdosLengthSize + written++] = hostToQl(uint8_t(c));
    }
    dest[0] = uint8_t(written >> 8);
    dest[1] = uint8_t(written);
    span.written(QdosLengthSize + written);
    return HostCallResult::KeepRegisters;
}

int32_t sysExecute(unsigned n)
{
    if (!hasPair(n)) return HostCallResult::Illegal;
    std::string file, parameters;
    if (int32_t r = getGuestStringAlloc(file, addrReg(n)); r != 0) return r;
    if (int32_t r = getGuestStringAlloc(parameters, addrReg(n + 1)); r != 0) return r;
    return shellResultToGuest(frontEnd().openFile(cp1252ToUtf8(file), cp1252ToUtf8(parameters)));
}

int32_t sysSetDebugMask()
{
    zlogSetMask(dataReg(0));
    return HostCallResult::KeepRegisters;
}

int32_t sysDebugPrint()
{
    // The text runs to its terminator, or at the latest to the end of RAM.
    std::string text;
    uint32_t at = cpu.hostCallPc;
    uint32_t limit = mem.ramSize;
    for (uint32_t i = 0; i < limit; ++i) {
        uint8_t c = guestReadByte(at + i);
        if (c == 0) break;
        text += char(c);
    }
    cpu.hostCallPc += uint32_t(text.size() + 2) & ~1u;
    debugOutput(debugPrintExpand(text));
    return HostCallResult::KeepRegisters;
}

namespace {

// Slot 24 ($A0C0-$A0C7) and slot 31 ($A0F8-$A0FF) hold single words, told apart by the
// register number.
namespace WindowWord {
constexpr unsigned GetCommandLine = 0;
constexpr unsigned SetWindowTitle = 1;
constexpr unsigned IsForeground = 2;
constexpr unsigned FlashWindow = 3;
}  // namespace WindowWord
namespace DebugWord {
constexpr unsigned SetDebugMask = 6;
constexpr unsigned DebugPrint = 7;
}  // namespace DebugWord

int32_t sysWindowWords(unsigned n)
{
    switch (n) {
    case WindowWord::GetCommandLine:
        return sysGetCommandLine();
    case WindowWord::SetWindowTitle:
        return sysSetWindowTitle();
    case WindowWord::IsForeground:
        return sysIsForeground();
    case WindowWord::FlashWindow:
        return sysFlashWindow();
    default:
        return HostCallResult::Illegal;
    }
}

int32_t sysDebugWords(unsigned n)
{
    switch (n) {
    case DebugWord::SetDebugMask:
        return sysSetDebugMask();
    case DebugWord::DebugPrint:
        return sysDebugPrint();
    default:
        return HostCallResult::Illegal;
    }
}

constexpr HostOperation sysTable[HostCallDecode::OperationsPerGroup] = {
    sysQuit,              //  0 $A000-$A007
    nullptr,              //  1 $A008-$A00F
    sysGetVersion,        //  2 $A010-$A017 (n = 7 is illegal)
    sysGetHostSystem,     //  3 $A018-$A01F
    sysGetRamSize,        //  4 $A020-$A027
    sysGetComputerName,   //  5 $A028-$A02F
    sysClearMemory,       //  6 $A030-$A037
    nullptr,              //  7
    sysSetLinkage,        //  8 $A040-$A047
    nullptr,              //  9
    sysNextEvent,         // 10 $A050-$A057
    nullptr,              // 11
    sysSaveRegisters,     // 12 $A060-$A067
    nullptr,              // 13
    sysRestoreRegisters,  // 14 $A070-$A077
    nullptr,              // 15
    sysRingGet,           // 16 $A080-$A087
    nullptr,              // 17
    sysRingPut,           // 18 $A090-$A097
    nullptr,              // 19
    sysRingTest,          // 20 $A0A0-$A0A7
    nullptr,              // 21
    sysIdle,              // 22 $A0B0-$A0B7
    nullptr,              // 23
    sysWindowWords,       // 24 $A0C0-$A0C3
    nullptr,              // 25
    sysClipboardPut,      // 26 $A0D0-$A0D7
    nullptr,              // 27
    sysClipboardFetch,    // 28 $A0E0-$A0E7
    sysClipboardGet,      // 29 $A0E8-$A0EF
    sysExecute,           // 30 $A0F0-$A0F6 (n = 7 is illegal)
    sysDebugWords,        // 31 $A0FE-$A0FF
};

}  // namespace

HostOperation sysOperation(unsigned index)
{
    return index < HostCallDecode::OperationsPerGroup ? sysTable[index] : nullptr;
}

void sysInstallHostCalls()
{
    for (unsigned i = 0; i < HostCallDecode::OperationsPerGroup; ++i)
        if (sysTable[i]) hostCallInstall(HostCallGroupId::Sys, i, sysTable[i]);
}

void sysRemoveHostCalls()
{
    for (unsigned i = 0; i < HostCallDecode::OperationsPerGroup; ++i) hostCallRemove(HostCallGroupId::Sys, i);
}
