// The version query where there is no Windows version API: our own PE reader over the file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileVersionQuery.h"
#include "PeVersionReader.h"

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

bool queryFileVersion(const char *path, std::uint32_t *fileVersionMS, std::uint32_t *fileVersionLS)
{
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    // O_NONBLOCK so that opening a FIFO without a writer returns at once; only regular files are
    // read at all, so a device or a pipe never blocks or streams.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool found = false;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        ByteReader reader = ByteReader::overFile(fd, static_cast<std::uint64_t>(info.st_size));
        found = readPeFileVersion(reader, fileVersionMS, fileVersionLS);
    }
    ::close(fd);
    return found;
}
