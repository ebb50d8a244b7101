#include "devices/sound/sampled_ring.h"

#include "core/guest_write.h"
#include "cpu/memory.h"

namespace {

bool inRam(uint32_t address) { return address <= mem.ramSize; }
bool blockReadable(uint32_t block)
{
    return block >= SampledBlock::MarkOffset &&
           guestRange(block - SampledBlock::MarkOffset, 2 * SampledBlock::RingOffset);
}
uint32_t pointer(uint32_t block, uint32_t offset) { return guestReadLong(block + offset) & mem.mask; }

}  // namespace

bool sampledBlockValid(uint32_t block)
{
    block &= mem.mask;
    if (!blockReadable(block)) return false;
    const uint32_t write = pointer(block, SampledBlock::WriteOffset);
    const uint32_t read = pointer(block, SampledBlock::ReadOffset);
    const uint32_t end = pointer(block, SampledBlock::EndOffset);
    return inRam(end) && write <= end && read <= write;
}

bool sampledMarkPresent(uint32_t block)
{
    return blockReadable(block) && guestReadLong(block - SampledBlock::MarkOffset) == SampledBlock::Mark;
}

bool SampledRing::open(uint32_t block)
{
    if (!blockReadable(block)) return false;
    block_ = block;
    start_ = block + SampledBlock::RingOffset;
    end_ = pointer(block, SampledBlock::EndOffset);
    read_ = pointer(block, SampledBlock::ReadOffset);
    write_ = pointer(block, SampledBlock::WriteOffset);
    moved_ = false;
    const auto inRing = [this](uint32_t a) { return a >= start_ && a <= end_; };
    return inRam(end_) && end_ > start_ && inRing(read_) && inRing(write_);
}

bool SampledRing::take(int16_t frame[2])
{
    if (read_ == write_) return false;
    if (read_ + 2 > end_) {
        // A ring of odd length: its last byte cannot start a frame.
        read_ = start_;
        moved_ = true;
        if (read_ == write_) return false;
    }
    frame[0] = sampledToPcm(guestReadByte(read_));
    frame[1] = sampledToPcm(guestReadByte(read_ + 1));
    read_ += 2;
    if (read_ >= end_) read_ = start_;
    moved_ = true;
    return true;
}

void SampledRing::writeBack()
{
    if (!moved_) return;
    const uint8_t bytes[4] = {uint8_t(read_ >> 24), uint8_t(read_ >> 16), uint8_t(read_ >> 8), uint8_t(read_)};
    guestWriteFromHost(block_ + SampledBlock::ReadOffset, bytes, sizeof bytes);
}
