#include "platform/cd_drive_linux.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr uint32_t FramesPerSecond = 75;
constexpr uint32_t SecondsPerMinute = 60;
// MSF fields are bytes; positions beyond 255 minutes cannot be sent.
constexpr uint32_t MaxMsfFrames = (255 * SecondsPerMinute + 59) * FramesPerSecond + 74;

uint32_t framesOf(const cdrom_msf0& msf)
{
    return (uint32_t(msf.minute) * SecondsPerMinute + msf.second) * FramesPerSecond + msf.frame;
}

void setMsf(uint32_t frames, __u8& minute, __u8& second, __u8& frame)
{
    minute = __u8(frames / (SecondsPerMinute * FramesPerSecond));
    second = __u8(frames / FramesPerSecond % SecondsPerMinute);
    frame = __u8(frames % FramesPerSecond);
}

}  // namespace

int cdDriveErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return CdDriveError::Ok;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return CdDriveError::CannotLoadDriver;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EROFS:
        return CdDriveError::DeviceLocked;
    case ENOMEDIUM:
        return CdDriveError::NotReady;
    case EINVAL:
        return CdDriveError::OutOfRange;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP:
        return CdDriveError::Unsupported;
    case ENOMEM:
        return CdDriveError::OutOfMemory;
    case EIO:
        return CdDriveError::Hardware;
    default:
        return CdDriveError::Driver;
    }
}

int LinuxCdDrive::control(unsigned long request, void* argument)
{
    if (fd_ < 0) return CdDriveError::InvalidDevice;
    return ioctl(fd_, request, argument) < 0 ? cdDriveErrorFromErrno(errno) : CdDriveError::Ok;
}

int LinuxCdDrive::control(unsigned long request, long argument)
{
    if (fd_ < 0) return CdDriveError::InvalidDevice;
    return ioctl(fd_, request, argument) < 0 ? cdDriveErrorFromErrno(errno) : CdDriveError::Ok;
}

int LinuxCdDrive::open()
{
    if (fd_ >= 0) return CdDriveError::Ok;
    // Without O_NONBLOCK the open fails on an empty drive; the guest may open it first
    // and insert the disc later.
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return cdDriveErrorFromErrno(errno);
    if (ioctl(fd_, CDROM_DRIVE_STATUS, CDSL_CURRENT) < 0 && (errno == ENOTTY || errno == EINVAL)) {
        close();
        return CdDriveError::BadDeviceName;
    }
    return CdDriveError::Ok;
}

void LinuxCdDrive::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int LinuxCdDrive::openDoor() { return control(CDROMEJECT, 0L); }

int LinuxCdDrive::closeDoor() { return control(CDROMCLOSETRAY, 0L); }

int LinuxCdDrive::discPresent(bool& present)
{
    if (fd_ < 0) return CdDriveError::InvalidDevice;
    const int status = ioctl(fd_, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (status < 0) return cdDriveErrorFromErrno(errno);
    // Drives that cannot tell are asked for the table of contents instead.
    if (status == CDS_NO_INFO) {
        cdrom_tochdr header{};
        present = ioctl(fd_, CDROMREADTOCHDR, &header) == 0;
    } else {
        present = status == CDS_DISC_OK;
    }
    return CdDriveError::Ok;
}

int LinuxCdDrive::readToc(CdToc& toc)
{
    cdrom_tochdr header{};
    if (int e = control(CDROMREADTOCHDR, &header)) return e;
    if (header.cdth_trk0 == 0 || header.cdth_trk1 < header.cdth_trk0) return CdDriveError::NotReady;
    toc = CdToc{};
    toc.firstTrack = header.cdth_trk0;
    for (unsigned track = header.cdth_trk0; track <= header.cdth_trk1 + 1u; ++track) {
        cdrom_tocentry entry{};
        entry.cdte_track = __u8(track <= header.cdth_trk1 ? track : CDROM_LEADOUT);
        entry.cdte_format = CDROM_MSF;
        if (int e = control(CDROMREADTOCENTRY, &entry)) return e;
        if (track <= header.cdth_trk1)
            toc.trackStarts.push_back(framesOf(entry.cdte_addr.msf));
        else
            toc.leadOut = framesOf(entry.cdte_addr.msf);
    }
    return CdDriveError::Ok;
}

int LinuxCdDrive::play(uint32_t from, uint32_t to)
{
    if (from >= to || to > MaxMsfFrames) return CdDriveError::OutOfRange;
    cdrom_msf range{};
    setMsf(from, range.cdmsf_min0, range.cdmsf_sec0, range.cdmsf_frame0);
    setMsf(to, range.cdmsf_min1, range.cdmsf_sec1, range.cdmsf_frame1);
    return control(CDROMPLAYMSF, &range);
}

int LinuxCdDrive::pause() { return control(CDROMPAUSE, 0L); }

int LinuxCdDrive::resume()
{
    // Drives refuse a resume unless paused; the guest may resume at any time, and only a
    // paused play has anything to resume.
    CdSubchannel state;
    if (int e = subchannel(state)) return e;
    return state.audio == CdAudio::Paused ? control(CDROMRESUME, 0L) : CdDriveError::Ok;
}

int LinuxCdDrive::stop() { return control(CDROMSTOP, 0L); }

int LinuxCdDrive::subchannel(CdSubchannel& state)
{
    cdrom_subchnl q{};
    q.cdsc_format = CDROM_MSF;
    if (int e = control(CDROMSUBCHNL, &q)) return e;
    switch (q.cdsc_audiostatus) {
    case CDROM_AUDIO_PLAY:
        state.audio = CdAudio::Playing;
        break;
    case CDROM_AUDIO_PAUSED:
        state.audio = CdAudio::Paused;
        break;
    default:
        state.audio = CdAudio::Idle;
        break;
    }
    state.track = q.cdsc_trk;
    state.absolute = framesOf(q.cdsc_absaddr.msf);
    state.relative = framesOf(q.cdsc_reladdr.msf);
    return CdDriveError::Ok;
}
