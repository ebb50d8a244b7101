#include "devices/storage/dos_handles.h"

#include <algorithm>
#include <new>

bool DosHandleTable::reset()
{
    release();
    try {
        slots_.resize(InitialSlots);
    } catch (const std::bad_alloc&) {
        slots_.clear();
        return false;
    }
    return true;
}

void DosHandleTable::release()
{
    std::vector<DosRecord>().swap(slots_);
    used_ = 0;
    nextSequence_ = 1;
}

DosRecord* DosHandleTable::allocate(uint32_t& handle)
{
    if (used_ >= MaxSlots) return nullptr;
    if (used_ >= slots_.size()) {
        size_t grown = slots_.empty() ? InitialSlots : slots_.size() * 2;
        try {
            slots_.resize(std::min(grown, MaxSlots));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    for (size_t i = 0; i < slots_.size(); ++i) {
        DosRecord& r = slots_[i];
        if (r.sequence != 0) continue;
        r = DosRecord{};
        r.sequence = nextSequence_;
        nextSequence_ = nextSequence_ >= LastSequence ? 1 : nextSequence_ + 1;
        ++used_;
        handle = r.sequence << 16 | uint32_t(i);
        return &r;
    }
    return nullptr;
}

DosRecord* DosHandleTable::find(uint32_t handle)
{
    size_t slot = handle & 0xFFFF;
    if (slot >= slots_.size()) return nullptr;
    DosRecord& r = slots_[slot];
    if (r.sequence == 0 || r.sequence != handle >> 16) return nullptr;
    return &r;
}

void DosHandleTable::free(uint32_t handle)
{
    if (DosRecord* r = find(handle)) {
        *r = DosRecord{};
        --used_;
    }
}
