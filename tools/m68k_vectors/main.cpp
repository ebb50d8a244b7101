// m68k_vectors FILE...: runs single-instruction test vectors (gzip-compressed JSON arrays of
// the public 680x0 format) against the processor and reports per-file and total counts.
// Exit status 0 when no applicable case failed.
#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "vector_case.h"

namespace {

constexpr uint32_t kVectorRamMegabytes = 16;  // 24-bit addresses
constexpr size_t kShowFailures = 5;

bool readGzip(const char* path, std::string& out)
{
    gzFile f = gzopen(path, "rb");
    if (!f) return false;
    std::array<char, 1 << 16> buf;
    int n;
    while ((n = gzread(f, buf.data(), unsigned(buf.size()))) > 0) out.append(buf.data(), size_t(n));
    const bool ok = n == 0;
    gzclose(f);
    return ok;
}

struct Counts {
    unsigned applicable = 0, passed = 0, failed = 0, notApplicable = 0;
    std::array<unsigned, size_t(Rule::Count)> perRule{};
    void add(const Counts& o)
    {
        applicable += o.applicable;
        passed += o.passed;
        failed += o.failed;
        notApplicable += o.notApplicable;
        for (size_t i = 0; i < perRule.size(); ++i) perRule[i] += o.perRule[i];
    }
};

void printCounts(const char* label, const Counts& c)
{
    std::printf("%s: applicable %u, passed %u, failed %u, not applicable %u\n", label, c.applicable, c.passed, c.failed,
                c.notApplicable);
}

}  // namespace

int main(int argc, char** argv)
{
    bool verbose = false;
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "-v") == 0) {
        verbose = true;
        first = 2;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: m68k_vectors [-v] FILE.json.gz...\n");
        return 2;
    }
    if (!memoryAllocate(kVectorRamMegabytes)) {
        std::fprintf(stderr, "m68k_vectors: cannot allocate guest memory\n");
        return 2;
    }
    cpuReset();
    cpuSetStopWaits(false);  // one instruction at a time: nothing would wake a STOP

    Counts total;
    bool fileError = false;
    for (int i = first; i < argc; ++i) {
        std::string text;
        nlohmann::json cases;
        if (!readGzip(argv[i], text) || (cases = nlohmann::json::parse(text, nullptr, false)).is_discarded() ||
            !cases.is_array()) {
            std::fprintf(stderr, "%s: cannot read test vectors\n", argv[i]);
            fileError = true;
            continue;
        }
        Counts file;
        size_t shown = 0;
        for (const auto& j : cases) {
            CaseResult r;
            try {
                r = runCase(parseCase(j));
            } catch (const nlohmann::json::exception& e) {
                std::fprintf(stderr, "%s: malformed case: %s\n", argv[i], e.what());
                fileError = true;
                continue;
            }
            if (r.notApplicable != Rule::None) {
                ++file.notApplicable;
                ++file.perRule[size_t(r.notApplicable)];
                continue;
            }
            ++file.applicable;
            if (r.passed) {
                ++file.passed;
            } else {
                ++file.failed;
                if (verbose || shown < kShowFailures) {
                    std::printf("  FAIL %s: %s\n", j.value("name", "?").c_str(), r.failure.c_str());
                    ++shown;
                }
            }
        }
        const char* base = std::strrchr(argv[i], '/');
        printCounts(base ? base + 1 : argv[i], file);
        total.add(file);
    }
    printCounts("Total", total);
    for (size_t r = 1; r < size_t(Rule::Count); ++r)
        std::printf("  not applicable by rule \"%s\": %u\n", ruleName(Rule(r)), total.perRule[r]);
    std::printf("%u passed, %u failed\n", total.passed, total.failed);
    memoryRelease();
    return (total.failed || fileError) ? 1 : 0;
}
