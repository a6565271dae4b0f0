// Loaded with LD_PRELOAD by the durability test: reads of the file named by
// VELUNE_FAIL_READ_PATH fail with EIO from byte VELUNE_FAIL_READ_AT on, as a disk
// with a bad sector would. Descriptors are followed from the open that made them.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

enum { kMaxFds = 1024 };
static char failing[kMaxFds];

static int Watched(const char* path) {
    const char* wanted = getenv("VELUNE_FAIL_READ_PATH");
    if (!wanted || !path)
        return 0;
    const char* name = strncmp(path, "file:", 5) == 0 ? path + 5 : path;
    return strcmp(name, wanted) == 0;
}

static int Opened(int fd, const char* path) {
    if (fd >= 0 && fd < kMaxFds)
        failing[fd] = (char)Watched(path);
    return fd;
}

// How many of `count` bytes from `offset` on may be read; -1 when none may.
static ssize_t Allowed(int fd, off_t offset, size_t count) {
    if (fd < 0 || fd >= kMaxFds || !failing[fd])
        return (ssize_t)count;
    const char* at = getenv("VELUNE_FAIL_READ_AT");
    const off_t limit = at ? (off_t)strtoll(at, NULL, 10) : 0;
    if (offset >= limit) {
        errno = EIO;
        return -1;
    }
    return (ssize_t)((off_t)count < limit - offset ? (off_t)count : limit - offset);
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

#define OPEN_MODE(flags)                                                                           \
    mode_t mode = 0;                                                                               \
    if ((flags) & (O_CREAT | O_TMPFILE)) {                                                         \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        mode = va_arg(args, mode_t);                                                               \
        va_end(args);                                                                              \
    }

int open(const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return Opened(NEXT(open)(path, flags, mode), path);
}

int open64(const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return Opened(NEXT(open64)(path, flags, mode), path);
}

int openat(int dir, const char* path, int flags, ...) {
    OPEN_MODE(flags)
    return Opened(NEXT(openat)(dir, path, flags, mode), path);
}

int close(int fd) {
    if (fd >= 0 && fd < kMaxFds)
        failing[fd] = 0;
    return NEXT(close)(fd);
}

ssize_t read(int fd, void* buffer, size_t count) {
    const ssize_t allowed = fd >= 0 && fd < kMaxFds && failing[fd]
                                ? Allowed(fd, lseek(fd, 0, SEEK_CUR), count)
                                : (ssize_t)count;
    return allowed < 0 ? -1 : NEXT(read)(fd, buffer, (size_t)allowed);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    const ssize_t allowed = Allowed(fd, offset, count);
    return allowed < 0 ? -1 : NEXT(pread)(fd, buffer, (size_t)allowed, offset);
}

ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
    const ssize_t allowed = Allowed(fd, offset, count);
    return allowed < 0 ? -1 : NEXT(pread64)(fd, buffer, (size_t)allowed, offset);
}
