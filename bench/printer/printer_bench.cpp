// Printer benchmark: generated jobs printed by the real print run (reader,
// interpreter, page model, output device) to PDF and to PNG at 300 dpi, in
// pages per second. Options: --write DIR writes the jobs as files instead
// (to print them with zemprint by hand); --repeat N runs each case N times
// and reports the best.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench_jobs.h"
#include "printer/base/errors.h"
#include "printer/host_fonts.h"
#include "printer/run/print_run.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"

namespace {

namespace fs = std::filesystem;
using zemprint::bench::mixedJob;
using zemprint::bench::mixedTextJob;
using zemprint::bench::textJob;

constexpr int kTextPages = 100;
constexpr int kMixedPages = 20;
constexpr int kPngDpi = 300;

struct Job {
    const char* name;
    std::string bytes;
    int pages;
};

struct Output {
    const char* name;
    const char* extension;
    int dpi;  // 0: the device's own
};

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

struct Timing {
    double wall = 0;
    double cpu = 0;  // of this process: other work on a busy machine does not count
};

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// One print of the job; the pages counted by the run must be the pages the
// job has, or the figure would measure something else.
Timing printOnce(const Job& job, const Output& output, const fs::path& dir, zemprint::TSettings& settings)
{
    const fs::path jobFile = dir / (std::string(job.name) + ".prn");
    writeFile(jobFile, job.bytes);
    const fs::path target = dir / (std::string(job.name) + output.extension);
    zemprint::TPrinterSetup setup;
    if (!setup.open(target.string())) throw zemprint::EZEMPrint("Cannot open printer");
    if (output.dpi > 0) {
        setup.deviceMode().printQuality = output.dpi;
        setup.capture();
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    const zemprint::PrintResult result = zemprint::printJob(settings, setup, jobFile.string());
    const double cpuEnd = cpuSeconds();
    const auto end = std::chrono::steady_clock::now();
    if (result.pages != job.pages)
        throw zemprint::EZEMPrint("expected " + std::to_string(job.pages) + " pages, printed " +
                                  std::to_string(result.pages));
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() != ".prn") fs::remove(entry.path());
    return {std::chrono::duration<double>(end - start).count(), cpuEnd - cpuStart};
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const std::vector<Job> jobs = {{"text-100", textJob(kTextPages), kTextPages},
                                   {"styled-100", mixedTextJob(kTextPages), kTextPages},
                                   {"mixed-20", mixedJob(kMixedPages), kMixedPages}};
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--write" && i + 1 < argc) {
            const fs::path dir = argv[++i];
            fs::create_directories(dir);
            for (const Job& job : jobs) writeFile(dir / (std::string(job.name) + ".prn"), job.bytes);
            return 0;
        }
        if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--repeat N] [--write DIR]\n", argv[0]);
            return 2;
        }
    }

    const fs::path dir = fs::temp_directory_path() / ("zemprint-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const Output outputs[] = {{"PDF", ".pdf", 0}, {"PNG 300 dpi", ".png", kPngDpi}};
    int status = 0;
    try {
        zemprint::TSettings settings((dir / "ZEMPrint.ini").string(), zemprint::installedFontFamilies, '.');
        settings.load();
        std::printf("%-10s %-12s %6s %9s %9s %9s %11s\n", "job", "output", "pages", "seconds", "pages/s", "cpu s",
                    "pages/cpu s");
        for (const Job& job : jobs) {
            for (const Output& output : outputs) {
                Timing best;
                for (int r = 0; r < repeat; ++r) {
                    const Timing t = printOnce(job, output, dir, settings);
                    best.wall = r == 0 ? t.wall : std::min(best.wall, t.wall);
                    best.cpu = r == 0 ? t.cpu : std::min(best.cpu, t.cpu);
                }
                std::printf("%-10s %-12s %6d %9.3f %9.1f %9.3f %11.1f\n", job.name, output.name, job.pages, best.wall,
                            job.pages / best.wall, best.cpu, job.pages / best.cpu);
                std::fflush(stdout);
            }
        }
    } catch (const zemprint::EZEMPrint& error) {
        std::fprintf(stderr, "printer-bench: %s\n", error.what());
        status = 1;
    }
    fs::remove_all(dir);
    return status;
}
