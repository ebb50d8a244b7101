// What the device's operation files share: the socket objects and the guest-memory access
// of the host-call operations.
#pragma once

#include "platform/host_sockets.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct IpObject {
    int state = 0;
    int kind = 0;
    int lastError = 0;
    HostSocket socket = NoSocket;
    SocketAddress address;
    bool hasAddress = false;
    int cell = -1;  // lookup-error cell, -1 for none
};

// The only way the device writes guest memory: refuses (false) a block beyond RAM and
// tells the display about the bytes written.
bool writeGuest(uint32_t address, const void* data, size_t length);

// A guest block to read; nullptr when it lies beyond RAM.
const uint8_t* readGuest(uint32_t address, uint32_t length);

// A NUL-terminated guest text within `extent` bytes at `address` (the whole extent must lie
// in RAM); nothing when it does not, or has no terminator there.
std::optional<std::string> guestText(uint32_t address, uint32_t extent);

// Result of a bad guest address: the object remembers a fault.
int32_t badAddress(IpObject& object);
// Result of a failed socket call: the object remembers the error.
int32_t socketFailure(IpObject& object, int error);

// The lookup-error cell of an object, or nullptr.
int32_t* lookupCell(const IpObject& object);

// Name and address operations (ip_name_calls.cpp); nothing when `code` is not one of them.
std::optional<int32_t> ipNameOperation(uint32_t code, IpObject& object);
