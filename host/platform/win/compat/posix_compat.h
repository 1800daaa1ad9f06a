// posix_compat.h (Windows) - the few POSIX file calls the host's file replacement
// (host/platform/files.cpp) uses, for the Windows build, where the C runtime lacks them.
// Implemented in posix_compat_win.cpp; seen by the platform's own sources only.
#pragma once
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0 // Windows handles are not inherited unless asked for
#endif
#ifndef O_DIRECTORY
#define O_DIRECTORY 0 // a folder cannot be opened as a file there: the open fails
#endif

extern "C" {
// Flushes the file's data to the disk (_commit).
int fsync(int fd);
// A hard link newName to existing (CreateHardLinkA); -1 with errno on failure.
int link(const char *existing, const char *newName);
// Windows files have no POSIX permission bits to set: does nothing.
int fchmod(int fd, mode_t mode);
}
#endif
