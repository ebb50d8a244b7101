// Builds configuration blocks as an image carries them: marker, name, version, 16-byte
// items whose data lies after the end word.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class BlockBuilder {
public:
    BlockBuilder(std::string name, std::string version) : name_(std::move(name)), version_(std::move(version)) {}

    BlockBuilder& byte(const char* tag, uint8_t v) { return item(tag, {v}); }
    BlockBuilder& word(const char* tag, int16_t v) { return item(tag, {uint8_t(uint16_t(v) >> 8), uint8_t(v)}); }
    BlockBuilder& crc(const char* tag, uint32_t v)
    {
        return item(tag, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    // Text: the count byte, then room for `room` characters.
    BlockBuilder& text(const char* tag, const std::string& t, size_t room = 256)
    {
        std::vector<uint8_t> d{uint8_t(t.size())};
        d.insert(d.end(), t.begin(), t.end());
        d.resize(1 + room, 0);
        items_.push_back({tag, d, 1});
        return *this;
    }

    // Writes the block at `at` in `image`; returns the offset of each item's data, in the
    // order the items were added.
    std::vector<size_t> writeTo(std::vector<uint8_t>& image, size_t at) const
    {
        std::vector<uint8_t> b(std::begin(Marker), std::end(Marker));
        putText(b, name_);
        putText(b, version_);
        const size_t itemsAt = b.size();
        b.resize(itemsAt + items_.size() * 16, 0);
        b.push_back(0xFF);
        b.push_back(0xFF);
        std::vector<size_t> offsets;
        for (size_t i = 0; i < items_.size(); ++i) {
            const Item& it = items_[i];
            const size_t item = itemsAt + i * 16;
            memcpy(&b[item], it.tag, 4);
            const size_t data = b.size() + it.skip;
            const int16_t rel = int16_t(data - (item + 6));
            b[item + 6] = uint8_t(uint16_t(rel) >> 8);
            b[item + 7] = uint8_t(rel);
            b.insert(b.end(), it.data.begin(), it.data.end());
            if (b.size() % 2) b.push_back(0);
            offsets.push_back(at + data);
        }
        if (image.size() < at + b.size()) image.resize(at + b.size(), 0);
        memcpy(&image[at], b.data(), b.size());
        return offsets;
    }

private:
    static constexpr uint8_t Marker[] = {'<', '<', 'Q', 'C', 'F', 'X', '>', '>', '0', '2'};
    struct Item {
        const char* tag;
        std::vector<uint8_t> data;
        size_t skip = 0;  // bytes before the data proper (the count byte of a text)
    };
    BlockBuilder& item(const char* tag, std::vector<uint8_t> d)
    {
        items_.push_back({tag, std::move(d), 0});
        return *this;
    }
    static void putText(std::vector<uint8_t>& b, const std::string& t)
    {
        b.push_back(uint8_t(t.size() >> 8));
        b.push_back(uint8_t(t.size()));
        b.insert(b.end(), t.begin(), t.end());
        if (t.size() % 2) b.push_back(0);
    }

    std::string name_, version_;
    std::vector<Item> items_;
};
