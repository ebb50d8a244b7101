#include "devices/storage/win_flp_errors.h"

#include "core/guest_error.h"
#include "log/log.h"

#include <cerrno>
#include <cstring>

int32_t diskGuestError(int error)
{
    struct Entry {
        int error;
        int32_t code;
    };
    static const Entry Map[] = {
        {ENOENT, GuestError::NotFound},
        {ENOTDIR, GuestError::NotFound},
        {EACCES, GuestError::HostAccessDenied},
        {EPERM, GuestError::HostAccessDenied},
        {EMFILE, GuestError::OutOfMemory},
        {ENFILE, GuestError::OutOfMemory},
        {ENOMEM, GuestError::OutOfMemory},
        {EEXIST, GuestError::AlreadyExists},
        {ENOTEMPTY, GuestError::InUse},
        {EBUSY, GuestError::InUse},
        {ETXTBSY, GuestError::InUse},
        {ENOSPC, GuestError::DriveFull},
        {EDQUOT, GuestError::DriveFull},
        {EROFS, GuestError::ReadOnly},
        {EBADF, GuestError::ChannelNotOpen},
        {EINVAL, GuestError::BadParameter},
        {ENAMETOOLONG, GuestError::BadParameter},
        {EIO, GuestError::BadMedium},
        {ENOSYS, GuestError::NotImplemented},
        {ENOTSUP, GuestError::NotImplemented},
    };
    for (const Entry& e : Map)
        if (e.error == error) return e.code;
    zlog(LogCat::Error, "Unknown host error %d (%s)\r\n", error, strerror(error));
    return GuestError::HostFailure;
}
