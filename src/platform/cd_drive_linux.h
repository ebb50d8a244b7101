// The host's CD drive through the kernel's CD-ROM calls on a device file such as
// /dev/cdrom.
#pragma once

#include "platform/cd_drive.h"

#include <string>

// A failed host call's errno as a drive error number.
int cdDriveErrorFromErrno(int error);

class LinuxCdDrive : public CdDrive {
public:
    explicit LinuxCdDrive(std::string devicePath) : path_(std::move(devicePath)) {}
    ~LinuxCdDrive() override { close(); }
    LinuxCdDrive(const LinuxCdDrive&) = delete;
    LinuxCdDrive& operator=(const LinuxCdDrive&) = delete;

    int open() override;
    void close() override;
    int openDoor() override;
    int closeDoor() override;
    int discPresent(bool& present) override;
    int readToc(CdToc& toc) override;
    int play(uint32_t from, uint32_t to) override;
    int pause() override;
    int resume() override;
    int stop() override;
    int subchannel(CdSubchannel& state) override;

private:
    // One ioctl; the drive error of its failure.
    int control(unsigned long request, void* argument);
    int control(unsigned long request, long argument);

    std::string path_;
    int fd_ = -1;
};
