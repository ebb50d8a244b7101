// The table of machine parts: its two orders, the undo of a failed start-up, and the real
// machine failing at each of its parts in turn.
#include "config/command_line.h"
#include "base/front_end.h"
#include "core/host_call.h"
#include "log/log.h"
#include "core/machine.h"
#include "core/machine_parts.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "display/display.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A part that writes what happens to it into a shared trace.
MachinePart tracedPart(MachineSlot slot, std::vector<std::string>& trace, bool startOk = true)
{
    const std::string name(machineSlotName(slot));
    return {slot,
            [&trace, name, startOk] {
                trace.push_back("start " + name);
                return startOk;
            },
            [&trace, name] { trace.push_back("stop " + name); }};
}

// Runs `body` with the general log on and returns what it wrote to standard error.
template <class Body>
std::string logOf(Body body)
{
    const uint32_t mask = zlogMask();
    zlogSetMask(LogCat::General);
    testing::internal::CaptureStderr();
    body();
    std::string text;
    for (char c : testing::internal::GetCapturedStderr())
        if (c != '\r') text += c;
    zlogSetMask(mask);
    return text;
}

size_t threadCount()
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++n;
    return n;
}

}  // namespace

TEST(MachineParts, OrdersNameEverySlotOnceAndNamesRoundTrip)
{
    for (const auto* order : {&MachineStartOrder, &MachineShutDownOrder}) {
        std::array<int, MachineSlotCount> seen{};
        for (MachineSlot s : *order) ++seen[size_t(s)];
        for (int n : seen) EXPECT_EQ(n, 1);
    }
    for (size_t i = 0; i < MachineSlotCount; ++i) {
        const MachineSlot slot = MachineSlot(i);
        EXPECT_EQ(machineSlotByName(machineSlotName(slot)), slot);
    }
    EXPECT_EQ(machineSlotByName("nothing"), std::nullopt);
}

TEST(MachineParts, StartAndShutDownFollowTheirOwnOrdersAndASlotTakesOnePart)
{
    std::vector<std::string> trace;
    MachineParts parts;
    // Registered out of order on purpose.
    for (MachineSlot s : {MachineSlot::Processor, MachineSlot::Memory, MachineSlot::Display, MachineSlot::Timer})
        ASSERT_TRUE(parts.add(tracedPart(s, trace)));
    EXPECT_FALSE(parts.add(tracedPart(MachineSlot::Memory, trace)));
    EXPECT_FALSE(parts.add(tracedPart(MachineSlot::Count, trace)));
    // A part that only acts at shut-down (saving the settings) is left alone by an undo.
    ASSERT_TRUE(parts.add({MachineSlot::Configuration, {}, [&] { trace.push_back("save"); }, false}));

    std::string log = logOf([&] { EXPECT_TRUE(parts.startAll()); });
    EXPECT_NE(log.find("ZEM: Memory allocation succesfull\nZEM: Screen driver ready\nZEM: 250hz poll ready\n"
                       "ZEM: Emulation started\n"),
              std::string::npos)
        << log;
    log = logOf([&] { parts.shutDownAll(); });
    EXPECT_NE(log.find("ZEM: QuitEmulation\nZEM: Writing INI information\nZEM: Shutdown screen\n"
                       "ZEM: End high precision timer\nZEM: Free memory\n"),
              std::string::npos)
        << log;
    const std::vector<std::string> expected = {
        "start memory",   "start display", "start timer",  "start processor",                 // start order
        "stop processor", "save",          "stop display", "stop timer",      "stop memory",  // shut-down order
    };
    EXPECT_EQ(trace, expected);

    // Nothing is ended twice.
    trace.clear();
    parts.shutDownAll();
    EXPECT_TRUE(trace.empty());
}

TEST(MachineParts, AFailedStartUndoesTheStartedPartsInReverse)
{
    for (bool byHook : {false, true}) {
        std::vector<std::string> trace;
        MachineParts parts;
        parts.add(tracedPart(MachineSlot::Memory, trace));
        parts.add({MachineSlot::Configuration, {}, [&] { trace.push_back("save"); }, false});
        parts.add(tracedPart(MachineSlot::Display, trace));
        parts.add(tracedPart(MachineSlot::Timer, trace, byHook));
        parts.add(tracedPart(MachineSlot::Processor, trace));
        if (byHook) parts.failAt(MachineSlot::Timer);

        const std::string log = logOf([&] { EXPECT_FALSE(parts.startAll()); });
        std::vector<std::string> expected = {"start memory", "start display", "start timer", "stop display",
                                             "stop memory"};
        if (byHook) expected.erase(expected.begin() + 2);  // the hook fails it before it runs
        EXPECT_EQ(trace, expected) << byHook;
        EXPECT_NE(log.find("ZEM: Start-up failed at timer\nZEM: Undoing display\nZEM: Undoing memory\n"
                           "ZEM: Undoing configuration\n"),
                  std::string::npos)
            << log;
        EXPECT_FALSE(parts.started(MachineSlot::Memory));
        trace.clear();
        parts.shutDownAll();
        EXPECT_TRUE(trace.empty()) << "an undone part is not shut down again";
    }
}

// The real machine, failing at each of its parts in turn, then starting and stopping in
// full: every time, no thread, no guest memory and no host call may be left behind.
class MachineStartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zem_parts_" + std::to_string(getpid()));
        fs::create_directories(dir);
        // Zero words are harmless instructions: the processor just runs until stopped.
        fs::path image = dir / "image.bin";
        std::ofstream(image, std::ios::binary) << std::string(0x20000, '\0');
        std::ofstream(dir / "zem.ini") << "[General]\n";
        commandLine.osFile = image.string();
        commandLine.iniFile = (dir / "zem.ini").string();
        for (MachinePart& part : machineCoreParts()) ASSERT_TRUE(machineParts().add(std::move(part)));
        ASSERT_TRUE(machineParts().add(displayPart()));
    }
    void TearDown() override
    {
        machineParts().clear();
        commandLine = CommandLineOptions{};
        fs::remove_all(dir);
    }

    static void expectNothingLeft(size_t threadsBefore, const std::string& context)
    {
        EXPECT_EQ(threadCount(), threadsBefore) << context;
        EXPECT_EQ(mem.base, nullptr) << context;
        EXPECT_EQ(hostCall(HostCallGroupId::Sys, 2, 0), HostCallResult::Illegal) << context;  // GetRamSize
        EXPECT_EQ(hostCall(HostCallGroupId::Scr, 3, 0), HostCallResult::Illegal) << context;  // SetBase
        EXPECT_EQ(hostCall(HostCallGroupId::Inp, 0, 0), HostCallResult::Illegal) << context;  // SetHostClock
    }

    fs::path dir;
};

TEST_F(MachineStartUp, FailingAtEachPartLeavesNothingRunning)
{
    const size_t threadsBefore = threadCount();
    std::vector<std::string> startedSoFar;
    for (MachineSlot slot : MachineStartOrder) {
        if (!machineParts().has(slot)) continue;
        const std::string name(machineSlotName(slot));
        machineParts().failAt(slot);
        bool started = true;
        const std::string log = logOf([&] { started = startUp(); });
        EXPECT_FALSE(started) << name;
        expectNothingLeft(threadsBefore, "failing at " + name);

        // The undo names the parts started before, latest first.
        std::string undo = "ZEM: Start-up failed at " + name + "\n";
        for (auto p = startedSoFar.rbegin(); p != startedSoFar.rend(); ++p) undo += "ZEM: Undoing " + *p + "\n";
        EXPECT_NE(log.find(undo), std::string::npos) << "failing at " << name << ":\n" << log;
        startedSoFar.push_back(name);
    }
    EXPECT_EQ(startedSoFar.size(), 10u);

    machineParts().failAt(std::nullopt);
    ASSERT_TRUE(startUp());
    EXPECT_NE(mem.base, nullptr);
    EXPECT_GT(threadCount(), threadsBefore);
    shutDown();
    expectNothingLeft(threadsBefore, "after a full run");
}
