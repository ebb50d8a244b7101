// Name and address operations of the socket-operation call: host name, look-ups in the
// host, service and protocol databases, address texts, and the error reports.
#include "core/guest_error.h"
#include "cpu/cpu.h"
#include "devices/comms/ip_address.h"
#include "devices/comms/ip_codes.h"
#include "devices/comms/ip_entries.h"
#include "devices/comms/ip_errors.h"
#include "devices/comms/ip_internal.h"
#include "platform/host_names.h"

#include <cstring>

namespace {

// The guest extents that the operations check before reading.
constexpr uint32_t NameExtent = 512;
constexpr uint32_t ProtocolNameExtent = 32;
constexpr uint32_t ProtocolByNameExtent = 64;
constexpr uint32_t DottedTextExtent = 64;
constexpr uint32_t ShortTextExtent = 4;
constexpr uint32_t AddressBytes = 4;
constexpr uint32_t ErrorTextExtent = 32;

uint32_t& D(unsigned n) { return cpu.D[n]; }
uint32_t& A(unsigned n) { return cpu.A[n]; }

uint32_t bigEndianLong(const uint8_t* b)
{
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

// A look-up that found nothing: the error goes to the object's cell through the lookup
// map; without a cell the result is -2.
int32_t lookupFailed(IpObject& o, int error)
{
    o.lastError = error;
    LookupOutcome outcome = ipLookupOutcome(error);
    if (!outcome.setsCell) return outcome.result;
    int32_t* cell = lookupCell(o);
    if (!cell) return IpResult::NoLookupCell;
    *cell = outcome.cellValue;
    return outcome.result;
}

// Writes a built entry at A2: -5 when it did not fit into the buffer.
int32_t putEntry(const std::optional<std::vector<uint8_t>>& bytes)
{
    if (!bytes) return GuestError::BufferFull;
    writeGuest(A(2), bytes->data(), bytes->size());
    return 0;
}

int32_t hostName(IpObject& o)
{
    const uint32_t size = D(2);
    if (!readGuest(A(1), size)) return badAddress(o);
    std::optional<std::string> name = hostOwnName();
    if (!name) return socketFailure(o, SocketError::NoRecovery);
    if (name->size() + 1 > size) return socketFailure(o, SocketError::Fault);
    writeGuest(A(1), name->c_str(), name->size() + 1);
    return 0;
}

int32_t hostByNameOp(IpObject& o)
{
    auto name = guestText(A(1), NameExtent);
    if (!name || !readGuest(A(2), EntryBufferSize)) return badAddress(o);
    HostEntryData entry;
    int error = hostByName(*name, entry);
    if (error) return lookupFailed(o, error);
    return putEntry(buildHostEntry(entry, A(2)));
}

int32_t hostByAddressOp(IpObject& o)
{
    const uint8_t* address = readGuest(A(1), NameExtent);
    if (!address || !readGuest(A(2), EntryBufferSize)) return badAddress(o);
    HostEntryData entry;
    int error = hostByAddress(address, D(1), int32_t(D(2)), entry);
    if (error) return lookupFailed(o, error);
    return putEntry(buildHostEntry(entry, A(2)));
}

// A protocol name at a guest address; 0 stands for any protocol.
std::optional<std::string> protocolName(uint32_t address)
{
    if (address == 0) return std::string();
    return guestText(address, ProtocolNameExtent);
}

int32_t serviceByNameOp(IpObject& o)
{
    auto name = guestText(A(1), NameExtent);
    auto protocol = protocolName(D(1));
    if (!name || !protocol || !readGuest(A(2), EntryBufferSize)) return badAddress(o);
    ServiceEntryData entry;
    int error = serviceByName(*name, *protocol, entry);
    if (error) return lookupFailed(o, error);
    return putEntry(buildServiceEntry(entry, A(2)));
}

int32_t serviceByPortOp(IpObject& o)
{
    auto protocol = protocolName(A(1));
    if (!protocol || !readGuest(A(2), EntryBufferSize)) return badAddress(o);
    ServiceEntryData entry;
    int error = serviceByPort(uint16_t(D(1)), *protocol, entry);
    if (error) return lookupFailed(o, error);
    return putEntry(buildServiceEntry(entry, A(2)));
}

int32_t protocolByNameOp(IpObject& o)
{
    auto name = guestText(A(1), ProtocolByNameExtent);
    if (!name || !readGuest(A(2), EntryBufferSize)) return badAddress(o);
    ProtocolEntryData entry;
    int error = protocolByName(*name, entry);
    if (error) return lookupFailed(o, error);
    return putEntry(buildProtocolEntry(entry, A(2)));
}

int32_t protocolByNumberOp(IpObject& o)
{
    if (!readGuest(A(2), EntryBufferSize)) return badAddress(o);
    ProtocolEntryData entry;
    int error = protocolByNumber(int32_t(D(1)), entry);
    if (error) return lookupFailed(o, error);
    return putEntry(buildProtocolEntry(entry, A(2)));
}

// The text at A1 within `extent` bytes; a text that runs on past the extent is read on to
// its end as long as it stays in RAM.
std::optional<std::string> addressText(uint32_t extent)
{
    if (!readGuest(A(1), extent)) return std::nullopt;
    if (auto text = guestText(A(1), extent)) return text;
    return guestText(A(1), DottedTextExtent);
}

// The address as the host reads its network-order bytes: first part lowest.
uint32_t networkOrderAsHost(uint32_t address) { return __builtin_bswap32(address); }

int32_t addressToBinary(IpObject& o, bool store)
{
    auto text = addressText(store ? DottedTextExtent : ShortTextExtent);
    if (!text) return badAddress(o);
    if (store && !readGuest(A(2), AddressBytes)) return badAddress(o);
    auto address = dottedToAddress(*text);
    if (!address) return GuestError::BadParameter;
    if (store) {
        const uint8_t bytes[AddressBytes] = {uint8_t(*address >> 24), uint8_t(*address >> 16), uint8_t(*address >> 8),
                                             uint8_t(*address)};
        writeGuest(A(2), bytes, sizeof bytes);
    }
    D(1) = networkOrderAsHost(*address);
    return 0;
}

int32_t parseAddressOp(IpObject& o)
{
    auto text = addressText(DottedTextExtent);
    if (!text) return badAddress(o);
    auto value = parseAddress(*text);
    if (!value) return GuestError::BadParameter;
    D(1) = *value;
    return 0;
}

int32_t binaryToText(IpObject& o)
{
    const uint8_t* bytes = readGuest(A(1), AddressBytes);
    if (!bytes) return badAddress(o);
    std::string text = addressToDotted(bigEndianLong(bytes));
    if (!writeGuest(A(2), text.c_str(), text.size() + 1)) return badAddress(o);
    return 0;
}

int32_t domainName(IpObject& o)
{
    const uint32_t size = D(2);
    if (!readGuest(A(1), size)) return badAddress(o);
    std::optional<std::string> domain = hostDomainName();
    if (!domain) return GuestError::NotComplete;
    if (domain->size() + 1 > size) return GuestError::BufferFull;
    writeGuest(A(1), domain->c_str(), domain->size() + 1);
    return 0;
}

int32_t lookupErrorValue(IpObject& o)
{
    int32_t* cell = lookupCell(o);
    if (!cell) return IpResult::NoLookupCell;
    D(1) = uint32_t(*cell);
    return 0;
}

int32_t lookupErrorText(IpObject& o)
{
    int32_t* cell = lookupCell(o);
    if (!cell) return IpResult::NoLookupCell;
    static const char* const Texts[] = {"No error", "Host not found", "Try again", "No recovery", "No address"};
    const char* text = *cell >= 0 && *cell <= LookupCellValue::NoAddress ? Texts[*cell] : "Unknown error";
    if (!readGuest(A(1), ErrorTextExtent)) return badAddress(o);
    writeGuest(A(1), text, strlen(text) + 1);
    return 0;
}

int32_t errorNumber(IpObject& o)
{
    D(1) = uint32_t(ipClassicErrorNumber(o.lastError));
    return 0;
}

}  // namespace

std::optional<int32_t> ipNameOperation(uint32_t code, IpObject& o)
{
    switch (code) {
    case IpOp::HostName:
        return hostName(o);
    case IpOp::HostByName:
        return hostByNameOp(o);
    case IpOp::HostByAddress:
        return hostByAddressOp(o);
    case IpOp::Reserved96:
    case IpOp::Reserved97:
        return 0;
    case IpOp::LookupError:
        return lookupErrorValue(o);
    case IpOp::ServiceByName:
        return serviceByNameOp(o);
    case IpOp::ServiceByPort:
        return serviceByPortOp(o);
    case IpOp::ProtocolByName:
        return protocolByNameOp(o);
    case IpOp::ProtocolByNumber:
        return protocolByNumberOp(o);
    case IpOp::AddressToBinaryStore:
        return addressToBinary(o, true);
    case IpOp::AddressToBinary:
        return addressToBinary(o, false);
    case IpOp::ParseAddress:
        return parseAddressOp(o);
    case IpOp::BinaryToText:
        return binaryToText(o);
    case IpOp::DomainName:
        return domainName(o);
    case IpOp::LookupErrorText:
        return lookupErrorText(o);
    case IpOp::ErrorNumber:
        return errorNumber(o);
    default:
        return std::nullopt;
    }
}
