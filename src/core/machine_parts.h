// The machine as an ordered table of parts. The program entry registers every part once
// (core, display, each device) before start-up; start-up starts them in the start order,
// shut-down ends them in its own order (the two differ: the processor starts last and
// stops first, the display ends before the timer, the event system goes last...). A part
// whose start fails abandons start-up: the parts already started are undone in reverse
// order of their starts, each through its shut-down step, and the program ends.
//
// A device joins the machine in three steps:
//   1. a folder src/devices/<name>/ with its own static library;
//   2. a function there that describes its part, e.g.
//
//          MachinePart dosPart()
//          {
//              return {MachineSlot::Dos,
//                      [] {                                  // start-up
//                          dosBuildHandleTable();
//                          dosInstallHostCalls();           // hostCallInstall(HostCallGroupId::Dos, ...)
//                          return true;                      // false: start-up abandoned,
//                      },                                    //   after showError(...) with path and reason
//                      [] {                                  // shut-down
//                          dosRemoveHostCalls();
//                          dosFreeHandleTable();
//                      }};
//          }
//
//   3. one line in the program entry (src/ui/main.cpp): machineParts().add(dosPart());
//
// The table logs the slot's fixed "ready" line after a successful start and its fixed
// shut-down line before the shut-down step, so a part logs only what happens inside it.
// Data it copies into guest memory goes through core/guest_write.h; guest events through
// postEvent (core/events.h); everything for the user through the front end
// (core/front_end.h).
//
// Threads: registration, start-up and shut-down run on the GUI thread, before the
// processor runs and after it has stopped.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string_view>

// Every place a part can take. The orders below are fixed; an empty slot is skipped.
enum class MachineSlot {
    ImageFile,      // finds and opens the OS image; the printer program
    Configuration,  // reads the configuration; writes the settings back at shut-down
    Dialog,         // the start-up configuration dialog
    Memory,
    Events,
    Image,  // loads the OS image into guest memory
    Keyboard,
    Display,
    Dos,
    Flp,
    Win,
    Sound,
    Ip,
    Cd,  // CD audio: the drive opens when the guest asks; starts with the devices
    Timer,
    Clock,
    Par,
    Ser,
    Processor,
    Count
};

inline constexpr size_t MachineSlotCount = size_t(MachineSlot::Count);

// The slot's name, as the failure hook and the undo log lines use it ("memory", "dos"...).
std::string_view machineSlotName(MachineSlot slot);
std::optional<MachineSlot> machineSlotByName(std::string_view name);

// The start order and the shut-down order (every slot appears once in each).
extern const std::array<MachineSlot, MachineSlotCount> MachineStartOrder;
extern const std::array<MachineSlot, MachineSlotCount> MachineShutDownOrder;

struct MachinePart {
    MachineSlot slot = MachineSlot::Count;
    // Start-up step; false abandons start-up (any message has been shown). Empty: the
    // part has nothing to start.
    std::function<bool()> start;
    // Shut-down step; empty: nothing to end.
    std::function<void()> shutDown;
    // Whether the shut-down step also undoes a start that a later part's failure
    // abandoned. False for a step that only makes sense after a run (writing the settings
    // back).
    bool shutDownUndoesStart = true;
};

class MachineParts {
public:
    // Registers a part. False (nothing changed) when its slot is invalid or already taken.
    bool add(MachinePart part);
    bool has(MachineSlot slot) const;
    // Forgets every part (tests; a part is never removed from a running machine).
    void clear();

    // Starts the parts in the start order. On a failure undoes the parts started so far,
    // in reverse, logging "ZEM: Start-up failed at <slot>" and "ZEM: Undoing <slot>", and
    // returns false.
    bool startAll();
    // Ends the started parts in the shut-down order (logging each slot's line).
    void shutDownAll();
    bool started(MachineSlot slot) const { return started_[size_t(slot)]; }

    // Test hook: the named slot's start fails as if the host had refused (empty name:
    // none). The program entry sets it from the environment variable ZEM_FAIL_PART.
    void failAt(std::optional<MachineSlot> slot) { failAt_ = slot; }

private:
    void undoStarted();

    std::array<std::optional<MachinePart>, MachineSlotCount> parts_;
    std::array<bool, MachineSlotCount> started_{};
    // Slots in the order they started, for the undo.
    std::array<MachineSlot, MachineSlotCount> startedOrder_{};
    size_t startedCount_ = 0;
    std::optional<MachineSlot> failAt_;
};

// The program's one table.
MachineParts& machineParts();
