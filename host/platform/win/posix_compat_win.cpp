// posix_compat_win.cpp - POSIX file semantics the host relies on, in the Windows build.
//
// rename() here replaces an existing target in one step, as POSIX rename does and the
// C runtime's does not: every atomic save (drawing, picture) ends with a rename over the
// file it replaces. Defined in the program itself, it takes the place of the runtime's.
#include "posix_compat.h"

#include "windows_api.h"

#include <cerrno>
#include <cstdio>

namespace {

void setErrno(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_NOT_SAME_DEVICE:
        errno = EXDEV;
        break;
    case ERROR_INVALID_FUNCTION: // a file system without hard links (FAT, exFAT)
    case ERROR_NOT_SUPPORTED:
        errno = EPERM;
        break;
    case ERROR_DISK_FULL:
        errno = ENOSPC;
        break;
    default:
        errno = EIO;
        break;
    }
}

} // namespace

extern "C" {

int fsync(int fd) {
    return _commit(fd);
}

int link(const char *existing, const char *newName) {
    if (CreateHardLinkA(newName, existing, nullptr))
        return 0;
    setErrno(GetLastError());
    return -1;
}

int fchmod(int, mode_t) {
    return 0;
}

int rename(const char *from, const char *to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    setErrno(GetLastError());
    return -1;
}

} // extern "C"
