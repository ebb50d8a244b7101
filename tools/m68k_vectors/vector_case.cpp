#include "vector_case.h"

#include <cstdio>
#include <set>

#include "cpu/cpu.h"
#include "cpu/memory.h"

namespace {

constexpr uint32_t kVectorTableEnd = 0x400;
constexpr uint16_t kSr68000Mask = 0xA71F;
constexpr uint16_t kSrM = 0x1000, kSrT0 = 0x4000, kSrS = 0x2000;
constexpr uint16_t kCcrX = 0x10, kCcrN = 0x08, kCcrZ = 0x04, kCcrV = 0x02, kCcrC = 0x01;
constexpr unsigned kFrame68000 = 6;
constexpr uint16_t kOpRte = 0x4E73;
constexpr unsigned kVectorAddressError = 3;

VectorState parseState(const nlohmann::json& j)
{
    VectorState s;
    static const char* const dKeys[] = {"d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7"};
    static const char* const aKeys[] = {"a0", "a1", "a2", "a3", "a4", "a5", "a6"};
    for (int i = 0; i < 8; ++i) s.d[i] = j.at(dKeys[i]).get<uint32_t>();
    for (int i = 0; i < 7; ++i) s.a[i] = j.at(aKeys[i]).get<uint32_t>();
    s.usp = j.at("usp").get<uint32_t>();
    s.ssp = j.at("ssp").get<uint32_t>();
    s.sr = j.at("sr").get<uint16_t>();
    s.pc = j.at("pc").get<uint32_t>();
    const auto& pf = j.at("prefetch");
    s.prefetch = {pf.at(0).get<uint16_t>(), pf.at(1).get<uint16_t>()};
    for (const auto& b : j.at("ram")) s.ram.emplace_back(b.at(0).get<uint32_t>(), b.at(1).get<uint8_t>());
    return s;
}

// An exception taken by the 68000: a long read from the vector table whose value became
// the program counter. Decided from the bus reads of the case.
struct Exception68000 {
    unsigned vector;
};

std::vector<Exception68000> exceptionsOf(const VectorCase& c)
{
    std::vector<Exception68000> out;
    uint32_t lastHandler = 0;
    for (size_t i = 0; i + 1 < c.reads.size(); ++i) {
        const BusRead& hi = c.reads[i];
        if (hi.size != 2 || hi.address >= kVectorTableEnd || hi.address % 4) continue;
        for (size_t k = i + 1; k < c.reads.size() && k <= i + 2; ++k) {
            const BusRead& lo = c.reads[k];
            if (lo.size == 2 && lo.address == hi.address + 2) {
                out.push_back({hi.address / 4});
                lastHandler = (hi.value << 16 | lo.value) & 0xFFFFFF;
                break;
            }
        }
    }
    // Only a chain that ends at the final PC is exception processing; anything else was an
    // ordinary data access to low memory.
    if (out.empty() || lastHandler != (c.final.pc & 0xFFFFFF)) return {};
    return out;
}

unsigned ourFormat(unsigned vector)
{
    switch (vector) {
    case 5:
    case 6:
    case 7:
    case 9:
        return 2;  // zero divide, CHK, TRAPV, trace
    default:
        return 0;
    }
}

unsigned frameSize(unsigned format) { return format ? 12 : 8; }

// Flags the manual leaves undefined for these instructions and our processor defines.
uint16_t undefinedFlags(uint16_t op, const VectorCase& c, bool exceptionTaken)
{
    if ((op & 0xF1C0) == 0x4180) return exceptionTaken ? (kCcrZ | kCcrV | kCcrC) : (kCcrN | kCcrZ | kCcrV | kCcrC);
    if ((op & 0xF0C0) == 0x80C0 && !exceptionTaken && (c.final.sr & kCcrV)) return kCcrN | kCcrZ;
    if ((op & 0xF1F0) == 0xC100 || (op & 0xF1F0) == 0x8100 || (op & 0xFFC0) == 0x4800) return kCcrN | kCcrV;
    return 0;
}

bool movemStoresOwnBase(uint16_t op, uint16_t list)
{
    if ((op & 0xFBB8) != 0x48A0) return false;  // MOVEM registers to -(An)
    const unsigned an = op & 7;
    return (list >> (7 - an)) & 1;
}

void loadState(const VectorState& s)
{
    for (int i = 0; i < 8; ++i) cpu.D[i] = s.d[i];
    for (int i = 0; i < 7; ++i) cpu.A[i] = s.a[i];
    cpu.usp = s.usp;
    cpu.isp = s.ssp;
    cpu.msp = 0;
    const bool super = s.sr & kSrS;
    cpu.activeSlot = super ? &cpu.isp : &cpu.usp;
    cpu.A[7] = super ? s.ssp : s.usp;
    cpu.vbr = 0;
    cpu.instrLatch = 0;
    // Load the SR through the SR-change step so that a set T1 arms the trace exactly as a
    // MOVE to SR would have.
    cpu.srSystem = uint8_t(s.sr >> 8) & uint8_t(~SrBit::T1);
    cpu.srPrevious = cpu.srSystem;
    cpuSetPc(s.pc);
    cpu.nextStep.store(NextStep::Loop);
    const uint8_t ccr = uint8_t(s.sr);
    cpu.flags = uint16_t(((ccr & kCcrN) ? CpuFlag::N : 0) | ((ccr & kCcrZ) ? CpuFlag::Z : 0) |
                         ((ccr & kCcrV) ? CpuFlag::V : 0) | ((ccr & kCcrC) ? CpuFlag::C : 0));
    cpu.x = (ccr & kCcrX) ? 1 : 0;
    if (s.sr & 0x8000) {
        cpu.srSystem |= SrBit::T1;
        cpuSrChanged();
    }
}

struct Checker {
    std::string failure;
    template <typename T>
    void expect(const char* what, T ours, T theirs)
    {
        if (failure.empty() && ours != theirs) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "%s: ours $%llx, expected $%llx", what, (unsigned long long)ours,
                          (unsigned long long)theirs);
            failure = buf;
        }
    }
};

void clearMemory(const VectorCase& c, uint32_t ourStack)
{
    auto clear = [](uint32_t a) { guestWriteByte(a, 0); };
    for (const auto& [a, v] : c.initial.ram) clear(a);
    for (const auto& [a, v] : c.final.ram) clear(a);
    for (uint32_t i = 0; i < 4; ++i) clear(c.initial.pc + i);
    for (uint32_t i = 0; i < 64; ++i) clear(ourStack + i - 16);
}

}  // namespace

const char* ruleName(Rule r)
{
    switch (r) {
    case Rule::AddressError:
        return "68000 address error";
    case Rule::Rte:
        return "RTE frame format";
    case Rule::ExtendedEncoding:
        return "68020 index/branch encoding";
    case Rule::SrBits:
        return "SR M/T0 bits";
    case Rule::MovemOwnBase:
        return "MOVEM -(An) storing An";
    case Rule::BtstImmediate:
        return "BTST Dn,#imm";
    case Rule::LineA:
        return "line A host-call words";
    default:
        return "none";
    }
}

VectorCase parseCase(const nlohmann::json& j)
{
    VectorCase c;
    c.name = j.value("name", "");
    c.initial = parseState(j.at("initial"));
    c.final = parseState(j.at("final"));
    if (j.contains("transactions")) {
        for (const auto& t : j.at("transactions")) {
            if (!t.is_array() || t.size() < 6 || t.at(0) != "r") continue;
            const std::string size = t.at(4).get<std::string>();
            c.reads.push_back({t.at(3).get<uint32_t>(), t.at(5).get<uint32_t>(),
                               size == ".b"   ? 1u
                               : size == ".l" ? 4u
                                              : 2u});
        }
    }
    return c;
}

CaseResult runCase(const VectorCase& c)
{
    CaseResult result;
    const uint16_t op = c.initial.prefetch[0];
    const auto exceptions = exceptionsOf(c);

    for (const auto& e : exceptions)
        if (e.vector == kVectorAddressError) result.notApplicable = Rule::AddressError;
    if (result.notApplicable == Rule::None) {
        if (c.initial.sr & (kSrM | kSrT0))
            result.notApplicable = Rule::SrBits;
        else if (op == kOpRte && (c.initial.sr & kSrS))
            result.notApplicable = Rule::Rte;
        else if ((op >> 12) == 6 && (op & 0xFF) == 0xFF)
            result.notApplicable = Rule::ExtendedEncoding;
        else if (movemStoresOwnBase(op, c.initial.prefetch[1]))
            result.notApplicable = Rule::MovemOwnBase;
        else if ((op & 0xF1FF) == 0x013C)
            result.notApplicable = Rule::BtstImmediate;
        else if ((op & 0xF000) == 0xA000)
            result.notApplicable = Rule::LineA;
    }
    if (result.notApplicable != Rule::None) return result;

    // Set up memory and registers, run one instruction.
    for (const auto& [a, v] : c.initial.ram) guestWriteByte(a, v);
    guestWriteWord(c.initial.pc, c.initial.prefetch[0]);
    guestWriteWord(c.initial.pc + 2, c.initial.prefetch[1]);
    loadState(c.initial);
    const uint32_t indexUsesBefore = cpuExtendedIndexUses();
    cpuRunFor(1);
    cpu.nextStep.store(NextStep::Loop);
    const uint32_t ourPc = cpuGetPc();
    const uint32_t ourA7 = cpu.A[7];

    // An SR loaded with M or T0 (bits the 68000 does not have) shows in ours afterwards.
    const bool loadedNewSrBits = cpuGetSr() & (kSrM | kSrT0);
    if (cpuExtendedIndexUses() != indexUsesBefore || loadedNewSrBits) {
        result.notApplicable = loadedNewSrBits ? Rule::SrBits : Rule::ExtendedEncoding;
        clearMemory(c, ourA7);
        return result;
    }

    Checker k;
    const bool exceptionTaken = !exceptions.empty();
    const uint16_t ccrIgnore = undefinedFlags(op, c, exceptionTaken);
    const uint16_t srMask = kSr68000Mask & ~ccrIgnore;
    static const char* dNames[] = {"D0", "D1", "D2", "D3", "D4", "D5", "D6", "D7"};
    static const char* aNames[] = {"A0", "A1", "A2", "A3", "A4", "A5", "A6"};
    for (int i = 0; i < 8; ++i) k.expect(dNames[i], cpu.D[i], c.final.d[i]);
    for (int i = 0; i < 7; ++i) k.expect(aNames[i], cpu.A[i], c.final.a[i]);
    k.expect("SR", uint16_t(cpuGetSr() & srMask), uint16_t(c.final.sr & srMask));
    k.expect("PC", ourPc & 0xFFFFFF, c.final.pc & 0xFFFFFF);

    // Our frames are larger than the 68000's 6 bytes: check each against the 68000 frame
    // (stacked SR and PC), plus our format/vector word and the latched address.
    std::set<uint32_t> frameBytes;
    uint32_t extra = 0;
    for (const auto& e : exceptions) extra += frameSize(ourFormat(e.vector)) - kFrame68000;
    const bool superNow = cpu.srSystem & SrBit::S;
    const uint32_t ourSsp = superNow ? ourA7 : cpu.isp;
    const uint32_t ourUsp = superNow ? cpu.usp : ourA7;
    k.expect("SSP", ourSsp, c.final.ssp - extra);
    k.expect("USP", ourUsp, c.final.usp);

    auto finalByte = [&](uint32_t a) -> uint32_t {
        for (const auto& [addr, v] : c.final.ram)
            if ((addr & 0xFFFFFF) == (a & 0xFFFFFF)) return v;
        return 0;
    };
    if (exceptionTaken && k.failure.empty()) {
        uint32_t theirFrame = c.final.ssp, ourFrame = ourA7;
        for (size_t i = exceptions.size(); i-- > 0;) {
            const unsigned vector = exceptions[i].vector;
            const unsigned format = ourFormat(vector);
            const uint16_t theirSr = uint16_t(finalByte(theirFrame) << 8 | finalByte(theirFrame + 1));
            uint32_t theirPc = 0;
            for (uint32_t b = 0; b < 4; ++b) theirPc = theirPc << 8 | finalByte(theirFrame + 2 + b);
            for (uint32_t b = 0; b < kFrame68000; ++b) frameBytes.insert((theirFrame + b) & 0xFFFFFF);
            k.expect("stacked SR", uint16_t(guestReadWord(ourFrame) & srMask), uint16_t(theirSr & srMask));
            k.expect("stacked PC", guestReadLong(ourFrame + 2), theirPc);
            k.expect("format/vector", guestReadWord(ourFrame + 6), uint16_t(format << 12 | vector * 4));
            if (format == 2) k.expect("latched address", guestReadLong(ourFrame + 8), c.initial.pc);
            theirFrame += kFrame68000;
            ourFrame += frameSize(format);
        }
    }
    for (const auto& [a, v] : c.final.ram) {
        if (frameBytes.count(a & 0xFFFFFF)) continue;
        if (!k.failure.empty()) break;
        char what[32];
        std::snprintf(what, sizeof what, "RAM $%06x", a);
        k.expect(what, guestReadByte(a), v);
    }
    result.passed = k.failure.empty();
    result.failure = k.failure;
    clearMemory(c, ourA7);
    return result;
}
