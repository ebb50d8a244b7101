// Error codes that host calls hand back to the guest (QDOS numbering).
#pragma once

#include <cstdint>

namespace GuestError {
constexpr int32_t NotComplete = -1;
constexpr int32_t OutOfMemory = -3;
constexpr int32_t BufferFull = -5;
constexpr int32_t ChannelNotOpen = -6;
constexpr int32_t NotFound = -7;
constexpr int32_t AlreadyExists = -8;
constexpr int32_t InUse = -9;
constexpr int32_t EndOfFile = -10;
constexpr int32_t DriveFull = -11;
constexpr int32_t BadName = -12;
constexpr int32_t TransmissionError = -13;
constexpr int32_t BadParameter = -15;
constexpr int32_t BadMedium = -16;
constexpr int32_t Overflow = -18;
constexpr int32_t NotImplemented = -19;
constexpr int32_t ReadOnly = -20;
constexpr int32_t HostFailure = -22;
constexpr int32_t HostAccessDenied = -23;
}  // namespace GuestError
