#include "platform/image_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ImageFileTest : public ::testing::Test {
protected:
    std::string write(const char* name, size_t size)
    {
        fs::path p = dir / name;
        std::ofstream out(p, std::ios::binary);
        for (size_t i = 0; i < size; ++i) out.put(char(i * 7));
        return p.string();
    }
    zemtest::TempDir dir{"zem-image"};
};

}  // namespace

TEST_F(ImageFileTest, ReadsFromTheStartEachTimeAndStopsAtTheEnd)
{
    ImageFile f;
    ASSERT_TRUE(f.open(write("img", 100)));
    EXPECT_FALSE(f.isReadOnly());
    EXPECT_EQ(f.size(), 100);
    std::vector<uint8_t> buf(300, 0xEE);
    EXPECT_EQ(f.readFromStart(buf.data(), 10), 10u);
    // A second read starts again at byte 0, and a short file gives a short count.
    EXPECT_EQ(f.readFromStart(buf.data(), buf.size()), 100u);
    EXPECT_EQ(f.lastError(), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[99], uint8_t(99 * 7));
    EXPECT_EQ(buf[100], 0xEE);
}

TEST_F(ImageFileTest, MissingFileAndDirectoryAreRefusedWithTheirError)
{
    ImageFile f;
    EXPECT_FALSE(f.open((dir / "missing").string()));
    EXPECT_EQ(f.lastError(), ENOENT);
    EXPECT_FALSE(f.isOpen());
    EXPECT_FALSE(f.open(dir.path().string()));
    EXPECT_EQ(f.lastError(), EISDIR);
    EXPECT_FALSE(hostErrorText(ENOENT).empty());
}
