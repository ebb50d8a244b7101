#include "core/machine_parts.h"

#include "log/log.h"

#include <string>

namespace {

struct SlotInfo {
    const char* name;
    const char* readyLine;     // logged after a successful start (nullptr: none)
    const char* shutDownLine;  // logged before the shut-down step (nullptr: none)
};

constexpr std::array<SlotInfo, MachineSlotCount> Slots = {{
    {"image-file", nullptr, nullptr},
    {"configuration", "ZEM: Config information read\r\n", "ZEM: Writing INI information\r\n"},
    {"dialog", nullptr, nullptr},
    {"memory", "ZEM: Memory allocation succesfull\r\n", "ZEM: Free memory\r\n"},
    {"events", "ZEM: Event system ready\r\n", "ZEM: Shut down event system\r\n"},
    {"image", "ZEM: OS read\r\n", nullptr},
    {"keyboard", "ZEM: Keyboard ready\r\n", "ZEM: Free keyboard\r\n"},
    {"display", "ZEM: Screen driver ready\r\n", "ZEM: Shutdown screen\r\n"},
    {"dos", "ZEM: DOS ready\r\n", "ZEM: Close DOS\r\n"},
    {"flp", "ZEM: FLP ready\r\n", "ZEM: Close FD\r\n"},
    {"win", nullptr, "ZEM: Close WIN\r\n"},
    {"sound", "ZEM: Sound ready\r\n", "ZEM: Free sound\r\n"},
    {"ip", "ZEM: IP ready\r\n", "ZEM: Free IP\r\n"},
    {"cd", nullptr, nullptr},
    {"timer", "ZEM: 250hz poll ready\r\n", "ZEM: End high precision timer\r\n"},
    {"clock", "ZEM: Clock ready\r\n", nullptr},
    {"par", nullptr, "ZEM: Close par\r\n"},
    {"ser", nullptr, "ZEM: Close ser\r\n"},
    {"processor", "ZEM: Emulation started\r\n", "ZEM: QuitEmulation\r\n"},
}};

const SlotInfo& info(MachineSlot slot) { return Slots[size_t(slot)]; }

}  // namespace

using S = MachineSlot;

const std::array<MachineSlot, MachineSlotCount> MachineStartOrder = {
    S::ImageFile, S::Configuration, S::Dialog, S::Memory, S::Events,    S::Image, S::Keyboard,
    S::Display,   S::Dos,           S::Flp,    S::Win,    S::Sound,     S::Ip,    S::Cd,
    S::Timer,     S::Clock,         S::Par,    S::Ser,    S::Processor,
};

// The processor stops first so that the rest can go without locking against it; the
// settings are saved before anything else can fail; the event system, which device
// threads post to, goes last.
const std::array<MachineSlot, MachineSlotCount> MachineShutDownOrder = {
    S::Processor, S::Configuration, S::Display,   S::Timer, S::Clock, S::Memory, S::Sound, S::Ip,
    S::Cd,        S::Keyboard,      S::Dos,       S::Flp,   S::Win,   S::Ser,    S::Par,   S::Events,
    S::Image,     S::Dialog,        S::ImageFile,
};

std::string_view machineSlotName(MachineSlot slot) { return size_t(slot) < MachineSlotCount ? info(slot).name : ""; }

std::optional<MachineSlot> machineSlotByName(std::string_view name)
{
    for (size_t i = 0; i < MachineSlotCount; ++i)
        if (name == Slots[i].name) return MachineSlot(i);
    return std::nullopt;
}

bool MachineParts::add(MachinePart part)
{
    const size_t i = size_t(part.slot);
    if (i >= MachineSlotCount || parts_[i]) return false;
    parts_[i] = std::move(part);
    return true;
}

bool MachineParts::has(MachineSlot slot) const { return size_t(slot) < MachineSlotCount && parts_[size_t(slot)]; }

void MachineParts::clear()
{
    for (auto& p : parts_) p.reset();
    started_ = {};
    startedCount_ = 0;
    failAt_.reset();
}

bool MachineParts::startAll()
{
    for (MachineSlot slot : MachineStartOrder) {
        std::optional<MachinePart>& part = parts_[size_t(slot)];
        if (!part) continue;
        const std::string name(machineSlotName(slot));
        bool ok;
        if (failAt_ == slot) {
            zlog(LogCat::Error, "ZEM: Start-up of %s refused by request\r\n", name.c_str());
            ok = false;
        } else {
            ok = !part->start || part->start();
        }
        if (!ok) {
            zlog(LogCat::General, "ZEM: Start-up failed at %s\r\n", name.c_str());
            undoStarted();
            return false;
        }
        started_[size_t(slot)] = true;
        startedOrder_[startedCount_++] = slot;
        if (const char* line = info(slot).readyLine) zlog(LogCat::General, "%s", line);
    }
    return true;
}

void MachineParts::undoStarted()
{
    while (startedCount_ > 0) {
        const MachineSlot slot = startedOrder_[--startedCount_];
        started_[size_t(slot)] = false;
        const MachinePart& part = *parts_[size_t(slot)];
        zlog(LogCat::General, "ZEM: Undoing %s\r\n", std::string(machineSlotName(slot)).c_str());
        if (part.shutDownUndoesStart && part.shutDown) part.shutDown();
    }
}

void MachineParts::shutDownAll()
{
    for (MachineSlot slot : MachineShutDownOrder) {
        if (!started_[size_t(slot)]) continue;
        started_[size_t(slot)] = false;
        if (const char* line = info(slot).shutDownLine) zlog(LogCat::General, "%s", line);
        const MachinePart& part = *parts_[size_t(slot)];
        if (part.shutDown) part.shutDown();
    }
    startedCount_ = 0;
}

MachineParts& machineParts()
{
    static MachineParts table;
    return table;
}
