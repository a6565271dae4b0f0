// Loaded with LD_PRELOAD: every question about a path below VELUNE_SLOW_FOLDER (stat,
// access, open) takes five seconds before it is answered, as a stalled network mount.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static void Stall(const char* path) {
    const char* slow = getenv("VELUNE_SLOW_FOLDER");
    if (!slow || !*slow || !path)
        return;
    const char* name = strncmp(path, "file:", 5) == 0 ? path + 5 : path;
    if (strncmp(name, slow, strlen(slow)) != 0)
        return;
    struct timespec wait = {5, 0};
    while (nanosleep(&wait, &wait) != 0) {
    }
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))
#define MODE(flags)                                                                                \
    mode_t mode = 0;                                                                               \
    if ((flags) & (O_CREAT | O_TMPFILE)) {                                                         \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        mode = va_arg(args, mode_t);                                                               \
        va_end(args);                                                                              \
    }

int open(const char* path, int flags, ...) {
    MODE(flags)
    Stall(path);
    return NEXT(open)(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
    MODE(flags)
    Stall(path);
    return NEXT(open64)(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
    MODE(flags)
    Stall(path);
    return NEXT(openat)(dir, path, flags, mode);
}
int openat64(int dir, const char* path, int flags, ...) {
    MODE(flags)
    Stall(path);
    return NEXT(openat64)(dir, path, flags, mode);
}
int stat(const char* path, struct stat* info) {
    Stall(path);
    return NEXT(stat)(path, info);
}
int stat64(const char* path, struct stat64* info) {
    Stall(path);
    return NEXT(stat64)(path, info);
}
int lstat(const char* path, struct stat* info) {
    Stall(path);
    return NEXT(lstat)(path, info);
}
int lstat64(const char* path, struct stat64* info) {
    Stall(path);
    return NEXT(lstat64)(path, info);
}
int fstatat(int dir, const char* path, struct stat* info, int flags) {
    Stall(path);
    return NEXT(fstatat)(dir, path, info, flags);
}
int fstatat64(int dir, const char* path, struct stat64* info, int flags) {
    Stall(path);
    return NEXT(fstatat64)(dir, path, info, flags);
}
int statx(int dir, const char* path, int flags, unsigned mask, struct statx* info) {
    Stall(path);
    return NEXT(statx)(dir, path, flags, mask, info);
}
int access(const char* path, int mode) {
    Stall(path);
    return NEXT(access)(path, mode);
}
int faccessat(int dir, const char* path, int mode, int flags) {
    Stall(path);
    return NEXT(faccessat)(dir, path, mode, flags);
}
