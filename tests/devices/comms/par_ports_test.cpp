// The PAR host calls and the port records, in process: guest input checks, target
// binding, jobs into spool files and device stand-ins (FIFOs and plain files), and the
// writer's flow control.
#include "config/settings.h"
#include "core/events.h"
#include "core/guest_error.h"
#include "core/host_call.h"
#include "core/machine.h"
#include "core/ring_buffer.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/comms/par_ports.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uint32_t Buffer = 0x40000;
constexpr uint32_t LinkageTable = 0x50000;
constexpr uint16_t ParallelOffset = 0x100;
constexpr uint32_t ParallelHandler = LinkageTable + 2 * LinkageSlot::Parallel + ParallelOffset;

int32_t call(unsigned sub, unsigned low) { return hostCall(HostCallGroupId::Par, sub, low); }

void putString(uint32_t address, const std::string& text)
{
    guestWriteWord(address, uint16_t(text.size()));
    for (size_t i = 0; i < text.size(); ++i) guestWriteByte(address + 2 + uint32_t(i), uint8_t(text[i]));
}

std::string getString(uint32_t address)
{
    std::string text;
    const uint16_t length = guestReadWord(address);
    for (uint16_t i = 0; i < length; ++i) text += char(guestReadByte(address + 2 + i));
    return text;
}

int32_t setTarget(int port, const std::string& text)
{
    cpu.D[0] = uint32_t(port);
    putString(Buffer, text);
    cpu.A[0] = Buffer;
    return call(0x8, 0);
}

std::string targetName(int port)
{
    cpu.D[0] = uint32_t(port);
    cpu.D[1] = 200;
    cpu.A[0] = Buffer;
    EXPECT_EQ(call(0x7, 0), 0);
    return getString(Buffer);
}

int32_t openPort(int port)
{
    cpu.D[3] = uint32_t(port);
    return call(0x2, 3);
}

void endJob(int port)
{
    cpu.D[3] = uint32_t(port);
    EXPECT_EQ(call(0x1, 3), HostCallResult::KeepRegisters);
}

// What the guest driver does: fills the ring, asking the writer to send whenever it is
// full, until the whole job is in.
void feed(int port, const std::string& job)
{
    cpu.D[1] = uint32_t(port);
    ASSERT_EQ(call(0xF, 2), HostCallResult::KeepRegisters);
    RingBuffer* ring = ringFromHandle(cpu.D[2]);
    ASSERT_NE(ring, nullptr);
    for (char c : job)
        while (!ring->put(uint8_t(c))) {
            parSend(port);
            std::this_thread::sleep_for(100us);
        }
    parSend(port);
}

std::string pattern(size_t size)
{
    std::string job(size, '\0');
    for (size_t i = 0; i < size; ++i) job[i] = char((i * 7 + i / 251) & 0xFF);
    return job;
}

class ParPorts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(1)); }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override
    {
        if (const char* old = getenv("TMPDIR")) oldTmpdir = old;
        setenv("TMPDIR", dir.path().c_str(), 1);
        setenv("CUPS_SERVER", "127.0.0.1:1", 1);  // no scheduler: no printers
        settings = Settings{};
        machineInfo = MachineInfo{};
        eventSystemInit();
        guestWriteWord(LinkageTable + 2 * LinkageSlot::Parallel, ParallelOffset);
        cpu.A[1] = LinkageTable;
        sysSetLinkage(0);
        parStart();
        parInstallHostCalls();
    }
    void TearDown() override
    {
        parRemoveHostCalls();
        parShutDown();
        for (int n = 1; n <= 3; ++n) unsetenv(("ZEM_LPT" + std::to_string(n)).c_str());
        if (oldTmpdir)
            setenv("TMPDIR", oldTmpdir->c_str(), 1);
        else
            unsetenv("TMPDIR");
        eventSystemClose();
    }

    // A printer program that keeps a copy of the job and its arguments, standing in for
    // the real one (the guest-level tests use that).
    void fakePrinterProgram()
    {
        const fs::path script = dir.path() / "printer-program";
        zemtest::writeFile(script, "#!/bin/sh\nprintf '%s\\n%s\\n' \"$1\" \"$2\" > \"" + dir.file("args") +
                                       ".part\"\ncat \"$1\" > \"" + dir.file("job") + "\"\nrm -f \"$1\"\nmv \"" +
                                       dir.file("args") + ".part\" \"" + dir.file("args") + "\"\n");
        fs::permissions(script, fs::perms::owner_all);
        machineInfo.printerProgramPresent = true;
        machineInfo.printerProgramPath = script.string();
    }

    bool waitForFile(const std::string& path)
    {
        for (int i = 0; i < 500 && !fs::exists(path); ++i) std::this_thread::sleep_for(10ms);
        return fs::exists(path);
    }

    size_t spoolFilesLeft()
    {
        size_t count = 0;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("ZEM", 0) == 0) ++count;
        return count;
    }

    std::optional<std::string> oldTmpdir;
    zemtest::TempDir dir{"par-test"};
};

TEST_F(ParPorts, BadPortsAndWordsTakeTheSpecifiedPaths)
{
    for (uint32_t port : {0u, 9u}) {
        SCOPED_TRACE(port);
        // Operations taking the port from Dn: the upper word goes, then the word is illegal.
        for (unsigned sub : {0x1u, 0x2u, 0x3u, 0x4u}) {
            cpu.D[5] = 0xABCD0000 | port;
            EXPECT_EQ(call(sub, 5), HostCallResult::Illegal) << sub;
            EXPECT_EQ(cpu.D[5], port) << sub;
        }
        cpu.D[1] = 0x12340000 | port;
        EXPECT_EQ(call(0xF, 2), HostCallResult::Illegal);
        EXPECT_EQ(cpu.D[1], port);
        // Operations taking the port from D0.B answer with a bad-parameter code.
        for (unsigned sub : {0x7u, 0x8u, 0x9u, 0xAu}) {
            cpu.D[0] = 0x100 | port;
            cpu.D[1] = 100;
            cpu.A[0] = Buffer;
            putString(Buffer, "");
            EXPECT_EQ(call(sub, 0), GuestError::BadParameter) << sub;
        }
    }
    for (unsigned sub : {0xBu, 0xCu, 0xDu, 0xEu}) EXPECT_EQ(call(sub, 0), HostCallResult::Illegal) << sub;
    cpu.D[0] = 1;
    EXPECT_EQ(call(0x2, 8), HostCallResult::Illegal);  // not a register
    cpu.D[4] = 0;
    EXPECT_EQ(call(0x0, 4), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.D[4], 8u);
    EXPECT_EQ(call(0x0, 4), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.D[4], 1u);
}

TEST_F(ParPorts, GuestBuffersAndNamesAreChecked)
{
    const uint32_t lastByte = mem.ramSize - 1;
    ASSERT_EQ(setTarget(2, "LPT1"), 0);
    cpu.D[0] = 2;
    cpu.D[1] = 200;
    cpu.A[0] = lastByte;  // the length word alone runs past RAM
    EXPECT_EQ(call(0x7, 0), GuestError::BadParameter);
    cpu.A[0] = mem.ramSize - 4;  // "LPT1" needs six bytes
    EXPECT_EQ(call(0x7, 0), GuestError::BadParameter);
    cpu.A[0] = Buffer;
    cpu.D[1] = 5;
    EXPECT_EQ(call(0x7, 0), GuestError::BufferFull);

    cpu.D[0] = 2;
    guestWriteWord(lastByte - 1, 10);  // a set-target text running past RAM
    cpu.A[0] = lastByte - 1;
    EXPECT_EQ(call(0x8, 0), GuestError::BadParameter);
    EXPECT_EQ(targetName(2), "LPT1");

    EXPECT_EQ(setTarget(2, std::string(ParLimits::PrinterNameMax + 1, 'p')), GuestError::BadParameter);
    EXPECT_EQ(setTarget(2, std::string(ParLimits::PrinterNameMax, 'p')), 0);

    cpu.D[0] = uint32_t(-2);  // the default printer's name (none here: an empty text)
    cpu.D[1] = 100;
    cpu.A[0] = lastByte;
    EXPECT_EQ(call(0x6, 0), GuestError::BadParameter);
    cpu.A[0] = Buffer;
    guestWriteWord(Buffer, 0xFFFF);
    EXPECT_EQ(call(0x6, 0), 0);
    EXPECT_EQ(getString(Buffer), "");
}

TEST_F(ParPorts, TargetTextsBindThePort)
{
    struct Case {
        std::string text;
        int32_t result;
        uint8_t mode;
        std::string name;
    };
    const Case cases[] = {
        {"lpt2", 0, 2, "LPT2"},
        {"LPT3", 0, 3, "LPT3"},
        {"LPT7", GuestError::BadParameter, 3, "LPT3"},
        {"LPT0", GuestError::BadParameter, 3, "LPT3"},
        {"LPT", GuestError::BadParameter, 3, "LPT3"},
        {"Office", 0, ParMode::Printer, "Office"},
        {"", 0, ParMode::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(setTarget(4, c.text), c.result);
        EXPECT_EQ(parMode(4), c.mode);
        EXPECT_EQ(targetName(4), c.name);
    }
    EXPECT_EQ(openPort(4), GuestError::NotFound);  // not connected: nothing starts
    EXPECT_FALSE(parIsOpen(4));
}

TEST_F(ParPorts, FilterFlagNeedsThePrinterProgram)
{
    cpu.D[0] = 1;
    cpu.D[2] = 1;
    EXPECT_EQ(call(0xA, 2), GuestError::NotFound);
    cpu.D[2] = 2;
    EXPECT_EQ(call(0xA, 2), GuestError::BadParameter);
    fakePrinterProgram();
    cpu.D[2] = 1;
    EXPECT_EQ(call(0xA, 2), 0);
    cpu.D[0] = 1;
    cpu.D[3] = 7;
    EXPECT_EQ(call(0x9, 3), 0);
    EXPECT_EQ(cpu.D[3], 1u);
}

TEST_F(ParPorts, FilteredJobGoesWholeToThePrinterProgramAndTheGuestHearsOfRoom)
{
    fakePrinterProgram();
    ASSERT_EQ(setTarget(1, "/some/where/out.pdf"), 0);
    ASSERT_EQ(parSetFilter(1, 1), 0);
    ASSERT_EQ(openPort(1), 0);
    EXPECT_EQ(setTarget(1, "LPT1"), GuestError::InUse);
    const std::string job = pattern(200 * 1024);  // far more than a ring
    feed(1, job);
    endJob(1);
    ASSERT_TRUE(parWaitClosed(1, 5000));
    ASSERT_TRUE(waitForFile(dir.file("args")));
    const std::string args = zemtest::readFile(dir.file("args"));
    EXPECT_NE(args.find("/ZEM"), std::string::npos) << args;
    EXPECT_NE(args.find(".tmp\n/some/where/out.pdf\n"), std::string::npos) << args;
    EXPECT_TRUE(zemtest::readFile(dir.file("job")) == job);
    EXPECT_EQ(spoolFilesLeft(), 0u);
    EXPECT_EQ(eventQueueSnapshot()[0], (GuestEvent{ParallelHandler, 1}));
}

TEST_F(ParPorts, EmptyFilteredJobStartsNoProgramAndLeavesNoFile)
{
    fakePrinterProgram();
    ASSERT_EQ(setTarget(3, "Somewhere"), 0);
    ASSERT_EQ(parSetFilter(3, 1), 0);
    ASSERT_EQ(openPort(3), 0);
    EXPECT_EQ(spoolFilesLeft(), 1u);
    endJob(3);
    ASSERT_TRUE(parWaitClosed(3, 5000));
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(dir.file("args")));
    EXPECT_EQ(spoolFilesLeft(), 0u);
}

TEST_F(ParPorts, PrinterWithoutHostPrintersOrDefault)
{
    ASSERT_EQ(setTarget(5, "Office"), 0);
    EXPECT_EQ(openPort(5), GuestError::NotComplete);  // no scheduler answers
    settings.ParallelPort[5] = ParMode::Printer;      // "def": the host's default printer
    parShutDown();
    parStart();
    EXPECT_EQ(openPort(6), GuestError::BadParameter);  // and the host has none
    cpu.D[0] = uint32_t(-1);
    cpu.D[1] = 0;
    EXPECT_EQ(call(0x6, 0), 0);
    EXPECT_EQ(cpu.D[1], uint32_t(GuestError::NotComplete));
}

TEST_F(ParPorts, DeviceOpenFailuresGiveTheMappedCodes)
{
    const std::string missing = dir.file("no-such-device");
    const std::string fifo = dir.file("lp-fifo");
    const std::string file = dir.file("lp-file");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    zemtest::writeFile(file, "");
    setenv("ZEM_LPT1", missing.c_str(), 1);
    setenv("ZEM_LPT2", fifo.c_str(), 1);  // nobody reads it
    setenv("ZEM_LPT3", file.c_str(), 1);
    ASSERT_EQ(setTarget(1, "LPT1"), 0);
    EXPECT_EQ(openPort(1), GuestError::NotFound);
    ASSERT_EQ(setTarget(1, "LPT2"), 0);
    EXPECT_EQ(openPort(1), GuestError::NotFound);
    ASSERT_EQ(setTarget(1, "LPT3"), 0);
    ASSERT_EQ(setTarget(2, "LPT3"), 0);
    ASSERT_EQ(openPort(1), 0);
    EXPECT_EQ(openPort(2), GuestError::InUse);  // the device is this port's alone
    chmod(file.c_str(), 0);
    endJob(1);
    ASSERT_TRUE(parWaitClosed(1, 5000));
    if (geteuid() != 0) {
        EXPECT_EQ(openPort(1), GuestError::InUse);
    }
}

TEST_F(ParPorts, SlowDeviceLosesNothingAndDoesNotHoldTheCaller)
{
    const std::string fifo = dir.file("lp-fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setenv("ZEM_LPT1", fifo.c_str(), 1);
    const std::string job = pattern(256 * 1024);  // four times what a pipe holds
    std::string arrived;
    std::atomic<bool> readerReady{false};
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        readerReady = true;
        char chunk[4096];
        auto quietSince = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - quietSince < 2s) {
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got > 0) {
                arrived.append(chunk, size_t(got));
                quietSince = std::chrono::steady_clock::now();
            }
            std::this_thread::sleep_for(2ms);  // a slow printer
        }
        close(fd);
    });
    while (!readerReady) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(setTarget(1, "LPT1"), 0);
    ASSERT_EQ(openPort(1), 0);
    // The guest side never waits on the device: every call returns at once while the
    // writer is held up.
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longest{};
    cpu.D[1] = 1;
    ASSERT_EQ(call(0xF, 2), HostCallResult::KeepRegisters);
    RingBuffer* ring = ringFromHandle(cpu.D[2]);
    for (char c : job) {
        while (!ring->put(uint8_t(c))) {
            const auto before = std::chrono::steady_clock::now();
            cpu.D[4] = 1;
            call(0x4, 4);
            longest = std::max(longest, std::chrono::steady_clock::now() - before);
            std::this_thread::sleep_for(50us);
        }
    }
    parSend(1);
    endJob(1);
    EXPECT_TRUE(parWaitClosed(1, 60000));
    reader.join();
    EXPECT_LT(longest, 50ms);
    EXPECT_GT(std::chrono::steady_clock::now() - start, 100ms);  // the device really was slow
    EXPECT_EQ(arrived.size(), job.size());
    EXPECT_TRUE(arrived == job);
}

TEST_F(ParPorts, StuckDeviceDoesNotHoldShutDown)
{
    const std::string fifo = dir.file("lp-fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setenv("ZEM_LPT1", fifo.c_str(), 1);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);  // never reads
    ASSERT_GE(reader, 0);
    ASSERT_EQ(setTarget(1, "LPT1"), 0);
    ASSERT_EQ(openPort(1), 0);
    RingBuffer* ring = ringFromHandle(parRingHandle(1));
    // More than the pipe holds: the writer ends up waiting on the device.
    const auto fillUntil = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < fillUntil)
        if (!ring->put(0x55)) {
            parSend(1);
            std::this_thread::sleep_for(1ms);
        }
    ASSERT_TRUE(ring->full());
    const auto start = std::chrono::steady_clock::now();
    parShutDown();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 2900ms);  // it had its three seconds
    EXPECT_LT(took, 5s);
    EXPECT_FALSE(parIsOpen(1));
    close(reader);
    parStart();
}

TEST_F(ParPorts, ShutDownWritesWhatTheGuestHandedOver)
{
    const std::string file = dir.file("lp-file");
    zemtest::writeFile(file, "");
    setenv("ZEM_LPT2", file.c_str(), 1);
    ASSERT_EQ(setTarget(7, "LPT2"), 0);
    ASSERT_EQ(openPort(7), 0);
    RingBuffer* ring = ringFromHandle(parRingHandle(7));
    const std::string job = pattern(ParLimits::RingSize - 1);
    for (char c : job) ASSERT_TRUE(ring->put(uint8_t(c)));
    parShutDown();  // no send, no end of job
    parStart();
    EXPECT_TRUE(zemtest::readFile(file) == job);
}

TEST_F(ParPorts, ReopeningStartsANewJob)
{
    fakePrinterProgram();
    ASSERT_EQ(setTarget(2, "first"), 0);
    ASSERT_EQ(parSetFilter(2, 1), 0);
    ASSERT_EQ(openPort(2), 0);
    feed(2, "first job");
    std::this_thread::sleep_for(300ms);  // the writer has it in the spool file
    ASSERT_EQ(setTarget(3, "x"), 0);
    ASSERT_EQ(openPort(2), 0);  // ends the first job, begins another
    ASSERT_TRUE(waitForFile(dir.file("args")));
    EXPECT_EQ(zemtest::readFile(dir.file("job")), "first job");
    EXPECT_TRUE(parIsOpen(2));
    EXPECT_EQ(spoolFilesLeft(), 1u);  // the new job's
}

}  // namespace
