// locateImage() in-process: the environment it sets and the printer-program search.
#include "config/command_line.h"
#include "platform/host_process.h"
#include "core/machine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class LocateImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zem_locate_" + std::to_string(getpid()));
        fs::create_directories(dir / "images");
        image = dir / "images" / "test.bin";
        std::ofstream(image) << "image";
        const char* path = getenv("PATH");
        savedPath = path ? path : "";
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        commandLine = CommandLineOptions{};
        fs::remove_all(dir);
    }
    fs::path dir, image;
    std::string savedPath;
};

}  // namespace

TEST_F(LocateImageTest, SetsProgramAndImageDirectories)
{
    commandLine.osFile = image.string();
    ASSERT_TRUE(locateImage());
    std::string program = *hostModulePath();
    EXPECT_STREQ(getenv("ZEMPATH"), directoryOf(program).c_str());
    EXPECT_STREQ(getenv("VROSPATH"), (dir / "images").string().c_str());
    EXPECT_EQ(machineInfo.imagePath, image.string());
}

TEST_F(LocateImageTest, FindsThePrinterProgramOnThePathOnlyWhenExecutable)
{
    fs::path beside = fs::path(directoryOf(*hostModulePath())) / PrinterProgramName;
    if (hostIsExecutableFile(beside.string())) GTEST_SKIP() << "a printer program was built beside the tests";

    fs::path bin = dir / "bin";
    fs::create_directories(bin);
    fs::path printer = bin / PrinterProgramName;
    std::ofstream(printer) << "#!/bin/sh\n";
    setenv("PATH", bin.string().c_str(), 1);
    commandLine.osFile = image.string();

    chmod(printer.c_str(), 0644);
    ASSERT_TRUE(locateImage());
    bool foundElsewhere = machineInfo.printerProgramPresent;  // an installed copy may exist
    EXPECT_NE(machineInfo.printerProgramPath, printer.string());

    chmod(printer.c_str(), 0755);
    ASSERT_TRUE(locateImage());
    EXPECT_TRUE(machineInfo.printerProgramPresent);
    if (!foundElsewhere) {
        EXPECT_EQ(machineInfo.printerProgramPath, printer.string());
    }
}
