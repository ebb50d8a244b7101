// A bare processor with 16 MB of guest memory: code is placed at $30000 either as a table
// of instruction words or as an assembled guest program, then stepped or run to SYS Quit.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "cpu/cpu.h"
#include "cpu/memory.h"

class CpuTest : public ::testing::Test {
protected:
    static constexpr uint32_t kCode = 0x30000;
    static constexpr uint32_t kVbr = 0x10000;      // tests' vector table
    static constexpr uint32_t kHandler = 0x20000;  // where the test vectors point

    void SetUp() override;
    void TearDown() override;

    // Writes big-endian words from address at.
    static void poke(uint32_t at, std::initializer_list<uint16_t> words);
    // Code at $30000, supervisor stack at $8000, every vector of a table at $10000 pointing
    // to $20000 (which holds NOPs), PC at $30000.
    void loadCode(std::initializer_list<uint16_t> words);
    uint64_t step(uint64_t n = 1) { return cpuRunFor(n); }
    static uint32_t pc() { return cpuGetPc(); }
    static uint16_t sr() { return cpuGetSr(); }

    // Loads tests/cpu/guest/<name>.s as assembled and runs it from reset to SYS Quit (the
    // test host-call handler), with a watchdog. Returns false on time-out.
    bool runProgram(const std::string& name);
};

// One exception frame as it lies on the stack.
struct Frame {
    uint16_t sr;
    uint32_t pc;
    uint16_t formatVector;
    uint32_t latch;  // format 2 only
};
Frame frameAt(uint32_t address);

// Labels of parameterised cases in test names (letters, digits and '_' only).
// A description: its letters and digits, each other run of characters one '_'.
std::string caseLabel(std::string_view description);
// Instruction words in hexadecimal up to the last non-zero one: "0E50_1000".
std::string wordsLabel(const std::array<uint16_t, 3>& words);
