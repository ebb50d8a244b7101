// The FLP host calls ($AF0y) on the two floppy drives, and the drives' part.
#include "config/settings.h"
#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/storage/disks.h"
#include "devices/storage/flp_drive.h"
#include "platform/host_process.h"

#include <iterator>

namespace {

constexpr size_t FloppyNameMax = 256;

FloppyDrive floppies[FloppyDriveCount];

FloppyDrive* driveOf()
{
    unsigned number = cpu.D[7] & 0xFF;
    return number >= 1 && number <= FloppyDriveCount ? &floppies[number - 1] : nullptr;
}

struct SectorAddress {
    unsigned track, head, sector;
};

SectorAddress addressOf(uint32_t d0) { return {(d0 >> 16) & 0xFF, (d0 >> 8) & 0xFF, d0 & 0xFF}; }

int32_t readSector(unsigned)
{
    FloppyDrive* drive = driveOf();
    if (!drive) return GuestError::NotFound;
    SectorAddress a = addressOf(cpu.D[0]);
    uint8_t sector[FloppyMaxSectorBytes];
    if (int32_t r = drive->readSector(a.track, a.head, a.sector, sector)) return r;
    return guestWriteFromHost(cpu.A[1], sector, drive->sectorBytes()) ? 0 : GuestError::BadParameter;
}

int32_t writeSector(unsigned)
{
    FloppyDrive* drive = driveOf();
    if (!drive) return GuestError::NotFound;
    SectorAddress a = addressOf(cpu.D[0]);
    if (int32_t r = drive->open()) return r;
    const uint8_t* source = guestRange(cpu.A[1], drive->sectorBytes());
    if (!source) return GuestError::BadParameter;
    return drive->writeSector(a.track, a.head, a.sector, source);
}

int32_t format(unsigned)
{
    if (!hostCallTakeCheckWord()) return HostCallResult::Illegal;
    FloppyDrive* drive = driveOf();
    if (!drive) return GuestError::NotFound;
    cpu.D[2] = drive->format(cpu.D[2] & 0xFF, cpu.D[3] & 0xFF, cpu.D[4] & 0xFF);
    return HostCallResult::KeepRegisters;
}

int32_t flushAndClose(unsigned)
{
    FloppyDrive* drive = driveOf();
    return drive ? drive->flushAndClose() : GuestError::NotFound;
}

int32_t checkMedium(unsigned)
{
    FloppyDrive* drive = driveOf();
    return drive ? drive->checkMedium() : GuestError::NotFound;
}

int32_t setName(unsigned)
{
    FloppyDrive* drive = driveOf();
    if (!drive) return GuestError::NotFound;
    if (int32_t r = drive->flushAndClose()) return r;
    std::string name;
    if (int32_t r = getGuestPath(name, FloppyNameMax, cpu.A[3])) return r;
    drive->name = std::move(name);
    return 0;
}

int32_t getName(unsigned)
{
    FloppyDrive* drive = driveOf();
    if (!drive) return GuestError::NotFound;
    return putGuestString(cpu.A[3], cpu.D[0], drive->name);
}

const HostOperation Operations[] = {readSector, writeSector, format, flushAndClose, checkMedium, setName, getName};

void flushAll()
{
    for (unsigned i = 0; i < FloppyDriveCount; ++i)
        if (int32_t r = floppies[i].flushAndClose())
            zlog(LogCat::Error, "FLP%u: sectors could not be written back (%d)\r\n", i + 1, int(r));
}

}  // namespace

MachinePart flpPart()
{
    return {MachineSlot::Flp,
            [] {
                for (unsigned i = 0; i < FloppyDriveCount; ++i) {
                    floppies[i].name = expandEnvironmentStrings(settings.FLP[i]);
                    zlog(LogCat::Floppy, "Invalidating cache\n");
                    floppies[i].invalidateCaches();
                }
                for (unsigned i = 0; i < std::size(Operations); ++i)
                    hostCallInstall(HostCallGroupId::Flp, i, Operations[i]);
                return true;
            },
            [] {
                for (unsigned i = 0; i < std::size(Operations); ++i) hostCallRemove(HostCallGroupId::Flp, i);
                flushAll();
            }};
}
