#include "printer/job/data.h"

#include <gtest/gtest.h>

#include "printer/base/errors.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EZEMPrint& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(Data, ReadsLittleEndianValuesInOrder)
{
    zemtest::TempDir dir;
    TData data;
    data.open(dir.write("job.prn", std::string("\x1b\x34\x12\x78\x56\x34\x12\x00\x40\x01\x40\xff\x7f\x05\x80Z", 16)));
    EXPECT_EQ(data.size(), 16);
    EXPECT_EQ(data.readByte(), 0x1B);
    EXPECT_EQ(data.readWord(), 0x1234);
    EXPECT_EQ(data.readLong(), 0x12345678u);
    EXPECT_EQ(data.readSignedWord(), 16384);   // 0x4000
    EXPECT_EQ(data.readSignedWord(), -16383);  // 0x4001
    EXPECT_EQ(data.readSignedWord(), -1);      // 0x7FFF
    EXPECT_EQ(data.readSignedWord(), 5);       // 0x8005: the top bit is dropped
    EXPECT_EQ(data.position(), 15);
    std::uint8_t byte = 0;
    EXPECT_TRUE(data.peek(0, byte));
    EXPECT_EQ(byte, 'Z');
    EXPECT_FALSE(data.peek(1, byte));
    EXPECT_FALSE(data.atEnd());
    EXPECT_EQ(data.readByte(), 'Z');
    EXPECT_TRUE(data.atEnd());
}

TEST(Data, ReadingPastTheEndReportsThePositionAndDoesNotMove)
{
    zemtest::TempDir dir;
    const std::string path = dir.write("short.prn", "abc");
    struct Case {
        const char* what;
        int before;  // bytes read first
        std::function<void(TData&)> read;
    };
    const Case cases[] = {
        {"byte", 3, [](TData& d) { d.readByte(); }},
        {"word", 2, [](TData& d) { d.readWord(); }},
        {"signed word", 2, [](TData& d) { d.readSignedWord(); }},
        {"long", 0, [](TData& d) { d.readLong(); }},
        {"skip", 1, [](TData& d) { d.skip(3); }},
        {"negative skip", 1, [](TData& d) { d.skip(-1); }},
    };
    for (const auto& c : cases) {
        TData data;
        data.open(path);
        for (int i = 0; i < c.before; ++i) data.readByte();
        EXPECT_EQ(messageOf([&] { c.read(data); }), "Read beyond end of file " + std::to_string(c.before)) << c.what;
        EXPECT_EQ(data.position(), c.before) << c.what;
    }
    TData data;
    data.open(path);
    data.skip(3);
    EXPECT_TRUE(data.atEnd());
}

TEST(Data, OpenFailures)
{
    zemtest::TempDir dir;
    TData data;
    const std::string missing = dir.file("nothing.prn");
    EXPECT_EQ(messageOf([&] { data.open(missing); }),
              "Cannot open file \"" + missing + "\" (Error 2): No such file or directory");
    EXPECT_EQ(messageOf([&] { data.open(dir.path().string()); }),
              "Cannot open file \"" + dir.path().string() + "\" (Error 21): Is a directory");
    const std::string longName = "/" + std::string(255, 'x');
    EXPECT_EQ(messageOf([&] { data.open(longName); }), "Illegal filename \"" + longName + "\"");
}

TEST(Data, EmptyJobIsAtItsEnd)
{
    zemtest::TempDir dir;
    TData data;
    data.open(dir.write("empty.prn", ""));
    EXPECT_TRUE(data.atEnd());
    EXPECT_EQ(messageOf([&] { data.readByte(); }), "Read beyond end of file 0");
}

}  // namespace
}  // namespace zemprint
