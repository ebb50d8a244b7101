// locateImage() in-process: the environment it sets, and the printer-program search.
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
    }
    void TearDown() override
    {
        commandLine = CommandLineOptions{};
        fs::remove_all(dir);
    }

    // A printer program file in `sub`, executable or not.
    fs::path printerIn(const char* sub, bool executable)
    {
        fs::path folder = dir / sub;
        fs::create_directories(folder);
        fs::path printer = folder / PrinterProgramName;
        std::ofstream(printer) << "#!/bin/sh\n";
        chmod(printer.c_str(), executable ? 0755 : 0644);
        return printer;
    }

    fs::path dir, image;
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

TEST_F(LocateImageTest, PrinterProgramIsTheFirstExecutableBesideInstalledOrOnThePath)
{
    const fs::path empty = dir / "empty";
    fs::create_directories(empty);
    const fs::path onPath = printerIn("bin", false);
    const std::string path = (dir / "nowhere").string() + ":" + onPath.parent_path().string();

    // Not executable: not a printer program.
    EXPECT_EQ(machineFindPrinterProgram(empty, empty, path.c_str()), std::nullopt);
    chmod(onPath.c_str(), 0755);
    EXPECT_EQ(machineFindPrinterProgram(empty, empty, path.c_str()), onPath.string());
    EXPECT_EQ(machineFindPrinterProgram(empty, empty, nullptr), std::nullopt);

    // The installation's copy comes before the path, the program's own folder first.
    const fs::path installed = printerIn("installed", true);
    EXPECT_EQ(machineFindPrinterProgram(empty, installed.parent_path(), path.c_str()), installed.string());
    const fs::path beside = printerIn("program", true);
    EXPECT_EQ(machineFindPrinterProgram(beside.parent_path(), installed.parent_path(), path.c_str()), beside.string());
}

TEST_F(LocateImageTest, ImageIsTheNamedOneOrTheDefaultOrOurOwnGuestBesideOrShared)
{
    const fs::path bin = dir / "prefix" / "bin";
    const fs::path share = dir / "prefix" / "share" / "zem2";
    fs::create_directories(bin);
    fs::create_directories(share);
    const std::string program = bin.string();
    const std::string vrose = program + "/" + DefaultImageName;

    // Nothing there: the default image is named, so the error tells what is missing.
    EXPECT_EQ(machineChooseImage("", program), vrose);
    std::ofstream(share / OwnGuestImageName) << "guest";
    EXPECT_EQ(machineChooseImage("", program), program + "/../share/zem2/" + OwnGuestImageName);
    std::ofstream(bin / OwnGuestImageName) << "guest";
    EXPECT_EQ(machineChooseImage("", program), program + "/" + OwnGuestImageName);
    // A directory of the default name is no image.
    fs::create_directories(bin / DefaultImageName);
    EXPECT_EQ(machineChooseImage("", program), program + "/" + OwnGuestImageName);
    fs::remove(bin / DefaultImageName);
    std::ofstream(vrose) << "vrose";
    EXPECT_EQ(machineChooseImage("", program), vrose);
    EXPECT_EQ(machineChooseImage(image.string(), program), image.string());
}
