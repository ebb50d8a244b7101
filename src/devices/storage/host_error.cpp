#include "devices/storage/host_error.h"

#include "core/guest_error.h"
#include "log/log.h"

#include <cerrno>
#include <cstring>

int32_t guestErrorFromHost(int hostError)
{
    switch (hostError) {
    case 0:
        return 0;
    case ENOENT:
    case ENOTDIR:
        return GuestError::NotFound;
    case EACCES:
    case EPERM:
        return GuestError::HostAccessDenied;
    case EMFILE:
    case ENFILE:
    case ENOMEM:
        return GuestError::OutOfMemory;
    case EEXIST:
        return GuestError::AlreadyExists;
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
        return GuestError::InUse;
    case ENOSPC:
    case EDQUOT:
    // The file-size limit is the same wall as a full drive for the guest.
    case EFBIG:
        return GuestError::DriveFull;
    case EROFS:
        return GuestError::ReadOnly;
    case EBADF:
        return GuestError::ChannelNotOpen;
    case EINVAL:
    case ENAMETOOLONG:
        return GuestError::BadParameter;
    case EIO:
        return GuestError::BadMedium;
    case ENOSYS:
    case ENOTSUP:
        return GuestError::NotImplemented;
    // A lookup that would have left the drive's base directory.
    case EXDEV:
    case ELOOP:
        return GuestError::BadName;
    default:
        zlog(LogCat::Error, "Unknown host error %i (%s)\n", hostError, strerror(hostError));
        return GuestError::HostFailure;
    }
}
