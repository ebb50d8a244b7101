#include "devices/comms/ip_errors.h"

#include "core/guest_error.h"
#include "devices/comms/ip_codes.h"
#include "platform/host_sockets.h"

namespace {

struct ErrorPair {
    int socketError;
    int32_t value;
};

constexpr ErrorPair GuestMap[] = {
    {SocketError::None, 0},
    {SocketError::Interrupted, GuestError::NotComplete},
    {SocketError::WouldBlock, GuestError::NotComplete},
    {SocketError::TryAgain, GuestError::NotComplete},
    {SocketError::Access, GuestError::HostAccessDenied},
    {SocketError::Shutdown, GuestError::HostAccessDenied},
    {SocketError::ConnectionRefused, GuestError::HostAccessDenied},
    {SocketError::Fault, GuestError::BadParameter},
    {SocketError::Invalid, GuestError::BadParameter},
    {SocketError::NotSocket, GuestError::BadParameter},
    {SocketError::DestinationRequired, GuestError::BadParameter},
    {SocketError::ProtocolType, GuestError::BadParameter},
    {SocketError::NoProtocolOption, GuestError::BadParameter},
    {SocketError::AddressNotAvailable, GuestError::BadParameter},
    {SocketError::TooManyFiles, GuestError::OutOfMemory},
    {SocketError::ProcessLimit, GuestError::OutOfMemory},
    {SocketError::InProgress, GuestError::InUse},
    {SocketError::Already, GuestError::InUse},
    {SocketError::AddressInUse, GuestError::InUse},
    {SocketError::IsConnected, GuestError::InUse},
    {SocketError::MessageSize, GuestError::BufferFull},
    {SocketError::NoBuffers, GuestError::BufferFull},
    {SocketError::NetworkDown, GuestError::TransmissionError},
    {SocketError::NetworkUnreachable, GuestError::TransmissionError},
    {SocketError::NetworkReset, GuestError::TransmissionError},
    {SocketError::ConnectionAborted, GuestError::TransmissionError},
    {SocketError::ConnectionReset, GuestError::TransmissionError},
    {SocketError::TimedOut, GuestError::TransmissionError},
    {SocketError::HostDown, GuestError::TransmissionError},
    {SocketError::HostUnreachable, GuestError::TransmissionError},
    {SocketError::NoRecovery, GuestError::TransmissionError},
    {SocketError::NoData, GuestError::TransmissionError},
    {SocketError::NotConnected, GuestError::EndOfFile},
    {SocketError::Disconnected, GuestError::EndOfFile},
    {SocketError::TypeNotFound, GuestError::NotFound},
    {SocketError::HostNotFound, GuestError::NotFound},
};

constexpr ErrorPair ClassicMap[] = {
    {SocketError::None, 0},
    {SocketError::Interrupted, 4},
    {SocketError::Access, 13},
    {SocketError::Fault, 14},
    {SocketError::Invalid, 22},
    {SocketError::TooManyFiles, 24},
    {SocketError::WouldBlock, 11},
    {SocketError::TryAgain, 11},
    {SocketError::InProgress, 67},
    {SocketError::Already, 66},
    {SocketError::NotSocket, 40},
    {SocketError::DestinationRequired, 41},
    {SocketError::MessageSize, 42},
    {SocketError::ProtocolType, 43},
    {SocketError::NoProtocolOption, 44},
    {SocketError::TypeNotFound, 44},
    {SocketError::NoData, 44},
    {SocketError::ProtocolNotSupported, 45},
    {SocketError::SocketTypeNotSupported, 46},
    {SocketError::OperationNotSupported, 47},
    {SocketError::ProtocolFamilyNotSupported, 48},
    {SocketError::AddressFamilyNotSupported, 49},
    {SocketError::AddressInUse, 50},
    {SocketError::AddressNotAvailable, 51},
    {SocketError::NetworkDown, 52},
    {SocketError::NetworkUnreachable, 53},
    {SocketError::NetworkReset, 54},
    {SocketError::ConnectionAborted, 55},
    {SocketError::ConnectionReset, 56},
    {SocketError::NoBuffers, 57},
    {SocketError::IsConnected, 58},
    {SocketError::NotConnected, 59},
    {SocketError::Shutdown, 60},
    {SocketError::Disconnected, 60},
    {SocketError::TimedOut, 62},
    {SocketError::ConnectionRefused, 63},
    {SocketError::HostDown, 64},
    {SocketError::HostUnreachable, 65},
    {SocketError::HostNotFound, 2},
    {SocketError::NoRecovery, 5},
};

template <size_t N>
int32_t lookUp(const ErrorPair (&map)[N], int error, int32_t otherwise)
{
    for (const ErrorPair& p : map)
        if (p.socketError == error) return p.value;
    return otherwise;
}

}  // namespace

int32_t ipGuestError(int socketError) { return lookUp(GuestMap, socketError, GuestError::NotImplemented); }

int32_t ipClassicErrorNumber(int socketError) { return lookUp(ClassicMap, socketError, -1); }

LookupOutcome ipLookupOutcome(int socketError)
{
    auto cell = [](int32_t value, int32_t result) { return LookupOutcome{true, value, result}; };
    switch (socketError) {
    case SocketError::None:
        return cell(LookupCellValue::NoError, 0);
    case SocketError::HostNotFound:
    case SocketError::TypeNotFound:
        return cell(LookupCellValue::HostNotFound, GuestError::BadParameter);
    case SocketError::TryAgain:
        return cell(LookupCellValue::TryAgain, GuestError::BadParameter);
    case SocketError::NoRecovery:
        return cell(LookupCellValue::NoRecovery, GuestError::BadParameter);
    case SocketError::NoData:
        return cell(LookupCellValue::NoAddress, GuestError::BadParameter);
    default:
        return LookupOutcome{false, 0, ipGuestError(socketError)};
    }
}
