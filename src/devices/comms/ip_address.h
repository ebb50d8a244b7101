// Address texts and the guest's 16-byte socket address.
#pragma once

#include "platform/host_sockets.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Operation 116: up to four parts of at most 255 each (decimal, octal with a leading 0,
// hexadecimal with 0x), shifted in one byte at a time; "10.1" is 0x0A01. Nothing for an
// invalid text or for 0xFFFFFFFF.
std::optional<uint32_t> parseAddress(std::string_view text);

// Operations 114 and 115: the classic dotted form, where the last part fills the bytes
// the earlier ones left ("10.1" is 10.0.0.1). The address as a number, 127.0.0.1 being
// 0x7F000001; nothing for an invalid text.
std::optional<uint32_t> dottedToAddress(std::string_view text);

// "a.b.c.d" of an address number.
std::string addressToDotted(uint32_t address);

// How an object's address is described: "a.b.c.d", with ":port" when there is a port.
std::string socketAddressText(const SocketAddress& address);

// The guest's socket address: family (big-endian word), port and IPv4 address in network
// order, then eight zero bytes.
constexpr uint32_t GuestSocketAddressSize = 16;
SocketAddress socketAddressFromGuest(const uint8_t* bytes);
void socketAddressToGuest(const SocketAddress& address, uint8_t* bytes);
