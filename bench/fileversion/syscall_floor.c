/* The floor of a version lookup: just the system calls one makes (open, fstat, `reads` preads
 * of `bytes` in all, close), with no parsing at all. */
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "syscall_floor.h"

int syscall_floor(const char *path, unsigned reads, unsigned long long bytes)
{
    unsigned char buf[4096];
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat st;
    int ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    unsigned long long each = reads > 0 ? bytes / reads : 0;
    if (each > sizeof buf) {
        each = sizeof buf;
    }
    for (unsigned i = 0; ok && i < reads; ++i) {
        ok = pread(fd, buf, (size_t)each, (off_t)(i * each)) >= 0;
    }
    close(fd);
    return ok ? 0 : -1;
}
