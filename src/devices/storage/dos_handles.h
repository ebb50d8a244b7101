// The handle table of the host-directory device: one record per open host file, found
// again by the 32-bit handle (sequence << 16 | slot) the guest holds.
#pragma once

#include "devices/storage/dos_names.h"
#include "devices/storage/stored_header.h"

#include <cstdint>
#include <vector>

struct DosRecord {
    uint32_t sequence = 0;  // 0: free slot
    int fd = -1;            // -1: closed (CloseAll) or never opened
    DosPath path;           // the file, or the listed directory; its anchor is not kept open
    HeaderImage header{};
    bool hasStored = false;
    uint32_t dataOffset = 0;
    uint64_t position = 0;  // host file position, stored header included
    bool writable = false;
    bool directory = false;
};

class DosHandleTable {
public:
    static constexpr size_t InitialSlots = 128;
    static constexpr size_t MaxSlots = 65536;
    static constexpr uint32_t LastSequence = 65534;

    // Builds the empty table; false (capacity 0) when the memory cannot be had.
    bool reset();
    void release();

    // A zeroed record with the next sequence number; nullptr when every one of the 65536
    // is in use or the table cannot grow. `handle` gets the value for the guest.
    DosRecord* allocate(uint32_t& handle);
    // The record a handle names, or nullptr.
    DosRecord* find(uint32_t handle);
    void free(uint32_t handle);

    size_t capacity() const { return slots_.size(); }
    size_t inUse() const { return used_; }
    template <typename F>
    void forEachOpen(F f)
    {
        for (DosRecord& r : slots_)
            if (r.sequence != 0) f(r);
    }

private:
    std::vector<DosRecord> slots_;
    size_t used_ = 0;
    uint32_t nextSequence_ = 1;
};
