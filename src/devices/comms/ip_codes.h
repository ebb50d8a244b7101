// Numbers of the TCP/IP device: host-call slots, socket-operation codes, object kinds and
// states, and the device's own result codes.
#pragma once

#include <cstdint>

namespace IpCall {
constexpr unsigned Open = 0;
constexpr unsigned Operation = 1;
constexpr unsigned Close = 2;
constexpr unsigned CloseAll = 3;
constexpr unsigned Describe = 4;
}  // namespace IpCall

// Socket operations: the code in D0 of the operation call.
namespace IpOp {
constexpr uint32_t InputPending = 0;
constexpr uint32_t FetchByte = 1;
constexpr uint32_t FetchLine = 2;
constexpr uint32_t FetchString = 3;
constexpr uint32_t SendByte = 5;
constexpr uint32_t SendString = 7;
constexpr uint32_t FetchMultiple = 72;
constexpr uint32_t SendMultiple = 73;
constexpr uint32_t Listen = 80;
constexpr uint32_t Send = 81;
constexpr uint32_t SendTo = 82;
constexpr uint32_t Receive = 83;
constexpr uint32_t ReceiveFrom = 84;
constexpr uint32_t GetOption = 85;
constexpr uint32_t SetOption = 86;
constexpr uint32_t ShutDown = 87;
constexpr uint32_t Bind = 88;
constexpr uint32_t Connect = 89;
constexpr uint32_t HostName = 91;
constexpr uint32_t LocalAddress = 92;
constexpr uint32_t PeerAddress = 93;
constexpr uint32_t HostByName = 94;
constexpr uint32_t HostByAddress = 95;
constexpr uint32_t Reserved96 = 96;
constexpr uint32_t Reserved97 = 97;
constexpr uint32_t LookupError = 98;
constexpr uint32_t ServiceByName = 100;
constexpr uint32_t ServiceByPort = 101;
constexpr uint32_t ProtocolByName = 110;
constexpr uint32_t ProtocolByNumber = 111;
constexpr uint32_t AddressToBinaryStore = 114;
constexpr uint32_t AddressToBinary = 115;
constexpr uint32_t ParseAddress = 116;
constexpr uint32_t BinaryToText = 117;
constexpr uint32_t Control = 121;
constexpr uint32_t DomainName = 122;
constexpr uint32_t LookupErrorText = 123;
constexpr uint32_t ErrorNumber = 124;
constexpr uint32_t Last = 127;
}  // namespace IpOp

namespace IpKind {
constexpr int Tcp = 0;
constexpr int Udp = 1;
constexpr int Sck = 2;
}  // namespace IpKind

namespace IpState {
constexpr int NotConnected = 0;
constexpr int Connecting = 1;
constexpr int Connected = 2;  // or bound
constexpr int Listening = 3;
}  // namespace IpState

// Results of this device beside the shared guest error codes.
namespace IpResult {
constexpr int32_t NoLookupCell = -2;
}

// Values in the lookup-error cell.
namespace LookupCellValue {
constexpr int32_t NoError = 0;
constexpr int32_t HostNotFound = 1;
constexpr int32_t TryAgain = 2;
constexpr int32_t NoRecovery = 3;
constexpr int32_t NoAddress = 4;
}  // namespace LookupCellValue

// The control request of operation 121: bytes readable.
constexpr uint32_t BytesReadableRequest = 0x4004667F;
