/* Preloaded into zvmp3-cli by the read-error tests: read() on a file whose path contains
 * $ZV_EIO_PATH fails with EIO once its offset has reached $ZV_EIO_AFTER bytes, as a failing
 * disk would. Everything else reads normally. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

ssize_t read(int fd, void* buf, size_t count) {
    static ssize_t (*real_read)(int, void*, size_t) = NULL;
    if (real_read == NULL)
        real_read = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    const char* pattern = getenv("ZV_EIO_PATH");
    const char* after = getenv("ZV_EIO_AFTER");
    if (pattern != NULL && after != NULL) {
        char link[64], path[4096];
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, path, sizeof path - 1);
        if (n > 0) {
            path[n] = '\0';
            if (strstr(path, pattern) != NULL && lseek(fd, 0, SEEK_CUR) >= atol(after)) {
                errno = EIO;
                return -1;
            }
        }
    }
    return real_read(fd, buf, count);
}
