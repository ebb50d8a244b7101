// One single-instruction test case of the public 680x0 test format, and how it is run
// against our processor. The case was recorded on a 68000; the differences between that
// processor and ours are applied by rules decided from the case's own data.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

struct VectorState {
    std::array<uint32_t, 8> d{}, a{};  // a[7] unused: usp/ssp below
    uint32_t usp = 0, ssp = 0, pc = 0;
    uint16_t sr = 0;
    std::array<uint16_t, 2> prefetch{};
    std::vector<std::pair<uint32_t, uint8_t>> ram;
};

struct BusRead {
    uint32_t address;
    uint32_t value;
    unsigned size;  // 1, 2 or 4
};

struct VectorCase {
    std::string name;
    VectorState initial, final;
    std::vector<BusRead> reads;
};

VectorCase parseCase(const nlohmann::json& j);

// Why a case does not apply to our processor.
enum class Rule {
    None,
    AddressError,      // the 68000 took vector 3 on a data access or fetch
    Rte,               // RTE reads a format word on ours
    ExtendedEncoding,  // scale/full-format index word, or an 8-bit branch displacement of $FF
    SrBits,            // an initial SR with M or T0 set
    MovemOwnBase,      // MOVEM -(An) storing An: ours stores the value of that moment
    BtstImmediate,     // BTST Dn,#imm is an illegal instruction on ours
    LineA,             // $Axxx words are host calls on ours, not the line-A exception
    Count
};
const char* ruleName(Rule r);

struct CaseResult {
    Rule notApplicable = Rule::None;
    bool passed = false;
    std::string failure;  // first difference found
};

// Needs guest memory of 16 MB (address mask $FFFFFF). Leaves memory clean for the next case.
CaseResult runCase(const VectorCase& c);
