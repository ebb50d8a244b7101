// A drive in a temporary folder, guest memory and the DOS group installed: host calls
// run in process exactly as the processor would run them.
#pragma once

#include "config/settings.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/storage/dos_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

class DosDrive : public ::testing::Test {
public:
    static constexpr uint32_t NameAt = 0x40000;
    static constexpr uint32_t BufferAt = 0x48000;
    static constexpr uint32_t ListingKey = 0x12345678;

protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(memoryAllocate(2));
        const char* tmp = getenv("TMPDIR");
        tempRoot() = tmp && *tmp ? tmp : "/tmp";
    }
    static fs::path& tempRoot()
    {
        static fs::path p;
        return p;
    }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override
    {
        root = tempRoot() / ("zem_dos_" + std::to_string(getpid()) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        base = root / "base";
        fs::create_directories(base);
        fs::create_directories(root / "tmp");
        setenv("TMPDIR", (root / "tmp").c_str(), 1);
        settings.DOS[0] = base.string();
        settings.ConvertFileExtension = 1;
        dosStart();
        memset(&cpu.D, 0, sizeof cpu.D);
        memset(&cpu.A, 0, sizeof cpu.A);
        cpu.flags = 0;
    }
    void TearDown() override
    {
        dosShutDown();
        setenv("TMPDIR", tempRoot().c_str(), 1);
        fs::remove_all(root);
    }

    // Runs operation `index` of the group with register n; the result as the guest sees
    // it in D0 when the operation does not keep the registers.
    static int32_t call(unsigned index, unsigned n = 0)
    {
        return hostCall(HostCallGroupId::Dos, index >> 1, ((index & 1) << 3) | n);
    }
    static void putName(uint32_t at, const std::string& guest)
    {
        guestWriteWord(at, uint16_t(guest.size()));
        for (size_t i = 0; i < guest.size(); ++i) guestWriteByte(at + 2 + uint32_t(i), uint8_t(guest[i]));
    }
    static std::string guestString(uint32_t at)
    {
        std::string s;
        for (uint32_t i = 0; i < guestReadWord(at); ++i) s += char(guestReadByte(at + 2 + i));
        return s;
    }
    static void putBytes(uint32_t at, const std::string& bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i) guestWriteByte(at + uint32_t(i), uint8_t(bytes[i]));
    }
    static std::string guestBytes(uint32_t at, uint32_t n)
    {
        std::string s;
        for (uint32_t i = 0; i < n; ++i) s += char(guestReadByte(at + i));
        return s;
    }

    // A name operation on drive 1 with the name in A1.
    int32_t onName(unsigned index, const std::string& guest, uint32_t drive = 1)
    {
        putName(NameAt, guest);
        cpu.A[1] = NameAt;
        cpu.D[2] = drive;
        cpu.A[0] = ListingKey;
        return call(index, 1);
    }
    static constexpr unsigned OpenNew = 0, Overwrite = 2, OpenDir = 3, Exclusive = 4, Shared = 5, Close = 6, Delete = 8,
                              MakeDir = 10, Read = 12, ReadHeader = 13, Write = 14, SaveHeader = 15, Move = 16,
                              Truncate = 18, Rename = 20, GetAttr = 24, SetAttr = 25, Size = 26;

    // Writes `data` through the handle in D1 (buffer in A1).
    int32_t writeData(uint32_t handle, const std::string& data)
    {
        putBytes(BufferAt, data);
        cpu.D[1] = handle;
        cpu.A[1] = BufferAt;
        cpu.D[0] = uint32_t(data.size());
        return call(Write, 1);
    }
    int32_t closeHandle(uint32_t handle)
    {
        cpu.D[1] = handle;
        return call(Close);
    }

    static std::string fileText(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void makeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

    fs::path root, base;
};
