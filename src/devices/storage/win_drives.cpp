// The WIN host calls ($AE0y): sector reads and writes, creation, and the questions about
// each container.
#include "devices/storage/win_drives.h"

#include "config/settings.h"
#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/storage/disks.h"
#include "devices/storage/host_error.h"
#include "platform/host_process.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr size_t ContainerNameMax = 256;  // with the terminator the name buffer once had
constexpr char SwappedMark[4] = {'L', 'Q', '1', 'W'};
constexpr uint8_t Removable = 0xFF;

namespace Op {
constexpr unsigned Read = 0, Write = 1, Create = 2, IsRemovable = 3, Nothing = 4, Close = 5, SetName = 6, GetName = 7,
                   IsReadOnly = 8, CloseAll = 9;
}

ContainerDrive drives[ContainerDriveCount];

ContainerDrive& driveOf(unsigned& number)
{
    unsigned index = containerDriveIndex(cpu.D[7]);
    number = index + 1;
    return drives[index];
}

// Whether sectors [first, first + count) end within the 32-bit byte positions.
bool withinByteLimit(uint32_t first, uint64_t count)
{
    return (uint64_t(first) + count) * ContainerSectorBytes <= ContainerByteLimit;
}

int32_t readSectors(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    const uint32_t first = cpu.D[0];
    const uint32_t count = cpu.D[2];
    if (!containerOpen(drive, number)) return GuestError::BadMedium;
    if (count == 0) return 0;
    const uint64_t bytes = uint64_t(count) * ContainerSectorBytes;
    if (bytes > mem.ramSize) return GuestError::BadParameter;
    GuestWriteSpan span = guestWriteSpan(cpu.A[1], uint32_t(bytes));
    if (!span) return GuestError::BadParameter;
    if (!withinByteLimit(first, count)) {
        span.written(0);
        return GuestError::BadParameter;
    }
    long long got = drive.file.readAt(uint64_t(first) * ContainerSectorBytes, span.data(), span.size());
    if (got < 0) {
        span.written(0);
        return guestErrorFromHost(drive.file.lastError());
    }
    if (drive.order == ContainerByteOrder::WordSwapped) swapWordBytes(span.data(), size_t(got) & ~size_t(1));
    span.written(size_t(got));
    return uint64_t(got) == bytes ? 0 : GuestError::BadMedium;
}

int32_t writeSector(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    const uint32_t sector = cpu.D[0];
    if (!containerOpen(drive, number)) return GuestError::BadMedium;
    const uint8_t* source = guestRange(cpu.A[1], ContainerSectorBytes);
    if (!source || !withinByteLimit(sector, 1)) return GuestError::BadParameter;
    if (!drive.file.writable()) return guestErrorFromHost(drive.readOnlyReason);
    uint8_t copy[ContainerSectorBytes];
    if (drive.order == ContainerByteOrder::WordSwapped) {
        memcpy(copy, source, sizeof copy);
        swapWordBytes(copy, sizeof copy);
        source = copy;
    }
    long long put = drive.file.writeAt(uint64_t(sector) * ContainerSectorBytes, source, ContainerSectorBytes);
    if (put < 0) return guestErrorFromHost(drive.file.lastError());
    return put == ContainerSectorBytes ? 0 : GuestError::BadMedium;
}

int32_t createContainer(unsigned)
{
    if (!hostCallTakeCheckWord()) return HostCallResult::Illegal;
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    if (drive.file.isOpen()) containerClose(drive, number);
    const uint32_t sectors = cpu.D[1];
    cpu.D[1] = 0;
    // A size that cannot be made leaves any existing container as it was.
    if (sectors == 0 || sectors > ContainerMaxSectors || drive.name.empty()) return 0;
    int error = hostCreateSizedFile(drive.name, uint64_t(sectors) * ContainerSectorBytes, 0);
    if (error)
        zlog(LogCat::Container, "Creating WIN%u failed: %s\r\n", number, strerror(error));
    else
        cpu.D[1] = sectors;
    drive.order = ContainerByteOrder::Unknown;
    return 0;
}

int32_t isRemovable(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    uint8_t answer = Removable;
    if (!settings.AlwaysRemovable) {
        if (drive.name.empty()) return guestErrorFromHost(ENOENT);
        int removable = hostOnRemovableDevice(drive.name);
        if (removable < 0) return guestErrorFromHost(-removable);
        answer = removable ? Removable : 0;
    }
    cpu.D[2] = (cpu.D[2] & ~0xFFu) | answer;
    return 0;
}

int32_t nothing(unsigned) { return 0; }

// $AE0A-$AE0F exist in the word space but have no operation yet: the guest learns so
// instead of taking an illegal-instruction exception.
int32_t notImplemented(unsigned) { return GuestError::NotImplemented; }

int32_t closeDrive(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    if (drive.file.isOpen())
        containerClose(drive, number);
    else
        zlog(LogCat::Container, "Drive WIN%u is already closed\r\n", number);
    return 0;
}

int32_t setName(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    std::string name;
    if (int32_t r = getGuestPath(name, ContainerNameMax, cpu.A[3])) return r;
    drive.order = ContainerByteOrder::Unknown;
    drive.name = std::move(name);
    return 0;
}

int32_t getName(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    return putGuestString(cpu.A[3], cpu.D[0] & 0xFFFF, drive.name);
}

int32_t isReadOnly(unsigned)
{
    unsigned number = 0;
    ContainerDrive& drive = driveOf(number);
    int readOnly = hostFileReadOnly(drive.name);
    if (readOnly < 0) return guestErrorFromHost(-readOnly);
    return readOnly ? GuestError::ReadOnly : 0;
}

int32_t closeAll(unsigned)
{
    winCloseAll();
    return 0;
}

const HostOperation Operations[] = {readSectors, writeSector, createContainer, isRemovable, nothing,
                                    closeDrive,  setName,     getName,         isReadOnly,  closeAll};
constexpr unsigned WinSlots = 16;

}  // namespace

unsigned containerDriveIndex(uint32_t d7) { return (uint8_t(d7) - 1u) & 7u; }

void swapWordBytes(uint8_t* data, size_t length)
{
    for (size_t i = 0; i + 1 < length; i += 2) std::swap(data[i], data[i + 1]);
}

bool containerOpen(ContainerDrive& drive, unsigned number)
{
    if (drive.file.isOpen()) return true;
    zlog(LogCat::Container, "Trying to open WIN%u: %s\r\n", number, drive.name.c_str());
    drive.readOnlyReason = 0;
    // Devices and directories are no containers; nor is an unset name.
    int error = drive.name.empty() ? ENOENT : hostIsUnusableAsImage(drive.name, true) ? EISDIR : 0;
    if (!error) error = drive.file.open(drive.name, true);
    if (error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY) {
        zlog(LogCat::Container, "Trying again read only\r\n");
        drive.readOnlyReason = error;
        error = drive.file.open(drive.name, false);
    }
    if (error) {
        zlog(LogCat::Container, "Error opening WIN%u\r\n", number);
        return false;
    }
    if (drive.order == ContainerByteOrder::Unknown) {
        char head[sizeof SwappedMark];
        if (drive.file.readAt(0, head, sizeof head) == sizeof head)
            drive.order = memcmp(head, SwappedMark, sizeof head) == 0 ? ContainerByteOrder::WordSwapped
                                                                      : ContainerByteOrder::Normal;
    }
    return true;
}

void containerClose(ContainerDrive& drive, unsigned number)
{
    zlog(LogCat::Container, "Closing WIN%u\r\n", number);
    drive.file.close();
}

void winCloseAll()
{
    for (unsigned i = 0; i < ContainerDriveCount; ++i) {
        if (drives[i].file.isOpen()) containerClose(drives[i], i + 1);
        drives[i].order = ContainerByteOrder::Unknown;
    }
}

void winInstallHostCalls()
{
    for (unsigned i = 0; i < WinSlots; ++i)
        hostCallInstall(HostCallGroupId::Win, i, i < std::size(Operations) ? Operations[i] : notImplemented);
}

void winRemoveHostCalls()
{
    for (unsigned i = 0; i < WinSlots; ++i) hostCallRemove(HostCallGroupId::Win, i);
}

MachinePart winPart()
{
    return {MachineSlot::Win,
            [] {
                for (unsigned i = 0; i < ContainerDriveCount; ++i) {
                    drives[i].name = expandEnvironmentStrings(settings.WIN[i]);
                    drives[i].order = ContainerByteOrder::Unknown;
                }
                winInstallHostCalls();
                return true;
            },
            [] {
                winRemoveHostCalls();
                winCloseAll();
            }};
}
