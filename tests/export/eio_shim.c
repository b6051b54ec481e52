/* Preloaded into zvmp3-cli by the fault tests: read() on a file whose path contains
 * $ZV_EIO_PATH fails with EIO once its offset has reached $ZV_EIO_AFTER bytes, as a failing
 * disk would; write() to a file whose path contains $ZV_ENOSPC_PATH fails with ENOSPC, as a
 * full disk would (write() and fwrite() once the file's offset has reached $ZV_ENOSPC_AFTER
 * bytes, when that is set).
 * Everything else reads and writes normally. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int path_has(int fd, const char* pattern) {
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    return strstr(path, pattern) != NULL;
}

ssize_t write(int fd, const void* buf, size_t count) {
    static ssize_t (*real_write)(int, const void*, size_t) = NULL;
    if (real_write == NULL)
        real_write = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    const char* pattern = getenv("ZV_ENOSPC_PATH");
    const char* full_at = getenv("ZV_ENOSPC_AFTER");
    if (pattern != NULL && path_has(fd, pattern) &&
        (full_at == NULL || lseek(fd, 0, SEEK_CUR) >= atol(full_at))) {
        errno = ENOSPC;
        return -1;
    }
    return real_write(fd, buf, count);
}

/* The C library's stdio writes through its own internal write, which no preload replaces:
 * fwrite itself fails the same way. */
size_t fwrite(const void* buf, size_t size, size_t count, FILE* stream) {
    static size_t (*real_fwrite)(const void*, size_t, size_t, FILE*) = NULL;
    if (real_fwrite == NULL)
        real_fwrite = (size_t(*)(const void*, size_t, size_t, FILE*))dlsym(RTLD_NEXT, "fwrite");
    const char* pattern = getenv("ZV_ENOSPC_PATH");
    const char* full_at = getenv("ZV_ENOSPC_AFTER");
    if (pattern != NULL && full_at != NULL && path_has(fileno(stream), pattern) &&
        ftell(stream) >= atol(full_at)) {
        errno = ENOSPC;
        return 0;
    }
    return real_fwrite(buf, size, count, stream);
}

ssize_t read(int fd, void* buf, size_t count) {
    static ssize_t (*real_read)(int, void*, size_t) = NULL;
    if (real_read == NULL)
        real_read = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    const char* pattern = getenv("ZV_EIO_PATH");
    const char* after = getenv("ZV_EIO_AFTER");
    if (pattern != NULL && after != NULL && path_has(fd, pattern) &&
        lseek(fd, 0, SEEK_CUR) >= atol(after)) {
        errno = EIO;
        return -1;
    }
    return real_read(fd, buf, count);
}
