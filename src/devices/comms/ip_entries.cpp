#include "devices/comms/ip_entries.h"

#include <cstring>
#include <string>

namespace {

constexpr uint32_t Alignment = 4;
constexpr uint32_t PointerSize = 4;

// Lays out one entry; any step past the limit marks it as not fitting, and later steps
// then do nothing.
class EntryBuilder {
public:
    EntryBuilder(uint32_t base, uint32_t limit, uint32_t fixedSize)
        : base_(base), limit_(limit), bytes_(fixedSize), fits_(fixedSize <= limit)
    {
    }

    // Guest address of the next free byte after aligning it.
    uint32_t align()
    {
        uint32_t at = base_ + uint32_t(bytes_.size());
        uint32_t pad = (Alignment - at % Alignment) % Alignment;
        grow(pad);
        return base_ + uint32_t(bytes_.size());
    }

    uint32_t reserve(uint32_t n)
    {
        uint32_t at = base_ + uint32_t(bytes_.size());
        grow(n);
        return at;
    }

    uint32_t putString(const std::string& s)
    {
        uint32_t at = reserve(uint32_t(s.size() + 1));
        if (fits_) memcpy(&bytes_[at - base_], s.c_str(), s.size() + 1);
        return at;
    }

    void putBytes(uint32_t at, const std::vector<uint8_t>& data)
    {
        if (fits_) memcpy(&bytes_[at - base_], data.data(), data.size());
    }

    void putLong(uint32_t at, uint32_t value)
    {
        if (!fits_) return;
        uint8_t* p = &bytes_[at - base_];
        p[0] = uint8_t(value >> 24);
        p[1] = uint8_t(value >> 16);
        p[2] = uint8_t(value >> 8);
        p[3] = uint8_t(value);
    }

    // A list of strings: aligned pointers ending with a zero pointer, then the strings.
    uint32_t putStringList(const std::vector<std::string>& items)
    {
        uint32_t list = align();
        reserve(uint32_t((items.size() + 1) * PointerSize));
        for (size_t i = 0; i < items.size(); ++i) putLong(list + uint32_t(i) * PointerSize, putString(items[i]));
        putLong(list + uint32_t(items.size()) * PointerSize, 0);
        return list;
    }

    std::optional<std::vector<uint8_t>> result()
    {
        if (!fits_) return std::nullopt;
        return std::move(bytes_);
    }

private:
    void grow(uint32_t n)
    {
        if (!fits_ || bytes_.size() + n > limit_) {
            fits_ = false;
            return;
        }
        bytes_.resize(bytes_.size() + n);
    }

    uint32_t base_;
    uint32_t limit_;
    std::vector<uint8_t> bytes_;
    bool fits_;
};

namespace HostField {
constexpr uint32_t Name = 0, Aliases = 4, AddressType = 8, AddressLength = 12, Addresses = 16, Size = 20;
}
namespace ServiceField {
constexpr uint32_t Name = 0, Aliases = 4, Port = 8, Protocol = 12, Size = 16;
}
namespace ProtocolField {
constexpr uint32_t Name = 0, Aliases = 4, Number = 8, Size = 12;
}

}  // namespace

std::optional<std::vector<uint8_t>> buildHostEntry(const HostEntryData& entry, uint32_t base, uint32_t limit)
{
    EntryBuilder b(base, limit, HostField::Size);
    b.putLong(base + HostField::AddressType, uint32_t(entry.addressType));
    b.putLong(base + HostField::AddressLength, uint32_t(entry.addressLength));
    b.align();
    b.putLong(base + HostField::Name, b.putString(entry.name));

    uint32_t list = b.align();
    b.reserve(uint32_t((entry.addresses.size() + 1) * PointerSize));
    for (size_t i = 0; i < entry.addresses.size(); ++i) {
        std::vector<uint8_t> address = entry.addresses[i];
        address.resize(size_t(entry.addressLength));
        uint32_t at = b.reserve(uint32_t(address.size()));
        b.putBytes(at, address);
        b.putLong(list + uint32_t(i) * PointerSize, at);
    }
    b.putLong(list + uint32_t(entry.addresses.size()) * PointerSize, 0);
    b.putLong(base + HostField::Addresses, list);

    b.putLong(base + HostField::Aliases, b.putStringList(entry.aliases));
    return b.result();
}

std::optional<std::vector<uint8_t>> buildServiceEntry(const ServiceEntryData& entry, uint32_t base, uint32_t limit)
{
    EntryBuilder b(base, limit, ServiceField::Size);
    b.putLong(base + ServiceField::Port, uint32_t(entry.port));
    b.align();
    b.putLong(base + ServiceField::Name, b.putString(entry.name));
    b.align();
    b.putLong(base + ServiceField::Protocol, b.putString(entry.protocol));
    b.putLong(base + ServiceField::Aliases, b.putStringList(entry.aliases));
    return b.result();
}

std::optional<std::vector<uint8_t>> buildProtocolEntry(const ProtocolEntryData& entry, uint32_t base, uint32_t limit)
{
    EntryBuilder b(base, limit, ProtocolField::Size);
    b.putLong(base + ProtocolField::Number, uint32_t(entry.number));
    b.align();
    b.putLong(base + ProtocolField::Name, b.putString(entry.name));
    b.putLong(base + ProtocolField::Aliases, b.putStringList(entry.aliases));
    return b.result();
}
