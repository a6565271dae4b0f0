// Loaded with LD_PRELOAD to break the file system on purpose:
// - reads of the file VELUNE_FAIL_READ_PATH fail with EIO from byte VELUNE_FAIL_READ_AT
//   on, as a disk with a bad sector would (descriptors followed from their open);
// - every question about a path below VELUNE_SLOW_FOLDER (stat, access, open) takes
//   five seconds before it is answered, as a stalled network mount;
// - looking up the host name VELUNE_SLOW_HOST takes five seconds, and finds this machine.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kMaxFds = 1024 };
static char failing[kMaxFds];

// The path without a file: in front, when the variable names one it concerns.
static const char* Named(const char* variable, const char* path) {
    const char* wanted = getenv(variable);
    if (!wanted || !*wanted || !path)
        return NULL;
    return strncmp(path, "file:", 5) == 0 ? path + 5 : path;
}

static void FiveSeconds(void) {
    for (unsigned left = 5; left > 0;)
        left = sleep(left);
}

static void Stall(const char* path) {
    const char* name = Named("VELUNE_SLOW_FOLDER", path);
    const char* slow = getenv("VELUNE_SLOW_FOLDER");
    if (name && strncmp(name, slow, strlen(slow)) == 0)
        FiveSeconds();
}

static int Opened(int fd, const char* path) {
    const char* name = Named("VELUNE_FAIL_READ_PATH", path);
    if (fd >= 0 && fd < kMaxFds)
        failing[fd] = (char)(name && strcmp(name, getenv("VELUNE_FAIL_READ_PATH")) == 0);
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
#define OPEN(name, ...)                                                                            \
    mode_t mode = 0;                                                                               \
    if (flags & (O_CREAT | O_TMPFILE)) {                                                           \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        mode = va_arg(args, mode_t);                                                               \
        va_end(args);                                                                              \
    }                                                                                              \
    Stall(path);                                                                                   \
    return Opened(NEXT(name)(__VA_ARGS__, flags, mode), path);
#define ASKED(name, ...)                                                                           \
    Stall(path);                                                                                   \
    return NEXT(name)(__VA_ARGS__);

int open(const char* path, int flags, ...) {
    OPEN(open, path)
}
int open64(const char* path, int flags, ...) {
    OPEN(open64, path)
}
int openat(int dir, const char* path, int flags, ...) {
    OPEN(openat, dir, path)
}
int openat64(int dir, const char* path, int flags, ...) {
    OPEN(openat64, dir, path)
}
int stat(const char* path, struct stat* info) {
    ASKED(stat, path, info)
}
int stat64(const char* path, struct stat64* info) {
    ASKED(stat64, path, info)
}
int lstat(const char* path, struct stat* info) {
    ASKED(lstat, path, info)
}
int lstat64(const char* path, struct stat64* info) {
    ASKED(lstat64, path, info)
}
int fstatat(int dir, const char* path, struct stat* info, int flags) {
    ASKED(fstatat, dir, path, info, flags)
}
int fstatat64(int dir, const char* path, struct stat64* info, int flags) {
    ASKED(fstatat64, dir, path, info, flags)
}
int statx(int dir, const char* path, int flags, unsigned mask, struct statx* info) {
    ASKED(statx, dir, path, flags, mask, info)
}
int access(const char* path, int mode) {
    ASKED(access, path, mode)
}
int faccessat(int dir, const char* path, int mode, int flags) {
    ASKED(faccessat, dir, path, mode, flags)
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

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                struct addrinfo** found) {
    const char* slow = getenv("VELUNE_SLOW_HOST");
    if (node && slow && strcmp(node, slow) == 0) {
        FiveSeconds();
        node = "127.0.0.1";
    }
    return NEXT(getaddrinfo)(node, service, hints, found);
}
