// The database entries that the name services write into the guest buffer: fixed fields,
// then the strings and lists they point to, every pointer a big-endian guest address
// into the same buffer and every list or string area on a 4-byte guest boundary.
#pragma once

#include "platform/host_names.h"

#include <cstdint>
#include <optional>
#include <vector>

// The guest buffer every entry must fit into.
constexpr uint32_t EntryBufferSize = 512;

// The bytes of each entry as they go to guest address `base`; nothing when the entry
// does not fit into `limit` bytes.
std::optional<std::vector<uint8_t>> buildHostEntry(const HostEntryData& entry, uint32_t base,
                                                   uint32_t limit = EntryBufferSize);
std::optional<std::vector<uint8_t>> buildServiceEntry(const ServiceEntryData& entry, uint32_t base,
                                                      uint32_t limit = EntryBufferSize);
std::optional<std::vector<uint8_t>> buildProtocolEntry(const ProtocolEntryData& entry, uint32_t base,
                                                       uint32_t limit = EntryBufferSize);
