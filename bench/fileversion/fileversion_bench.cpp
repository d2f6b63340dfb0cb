// Time per call and bytes read per call of the version query on real PE files, a small one and a
// large one by default, so that a cost that grows with the file's size would show.
// Usage: fileversion_bench [--calls N] [FILE...]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "PeVersionReader.h"
#include "PellimorInternal.h"
#include "syscall_floor.h"

namespace {

const char *const kDefaultFiles[] = {
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/version.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mshtml.dll",
};

// One pass of the reader alone, for the bytes and reads it takes.
bool measureReads(const char *path, unsigned long long *bytes, unsigned *reads)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (ok) {
        ByteReader reader = ByteReader::overFile(fd, static_cast<std::uint64_t>(info.st_size));
        std::uint32_t ms = 0, ls = 0;
        readPeFileVersion(reader, &ms, &ls);
        *bytes = reader.fileBytes();
        *reads = reader.fileReads();
    }
    close(fd);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    long calls = 20000;
    std::vector<const char *> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--calls") == 0 && i + 1 < argc) {
            calls = std::strtol(argv[++i], nullptr, 10);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        for (const char *f : kDefaultFiles) {
            if (access(f, R_OK) == 0)
                files.push_back(f);
        }
    }
    if (files.empty() || calls <= 0) {
        std::printf("no PE files to measure (wine's DLLs are missing): give some as arguments\n");
        return 77;
    }
    std::printf("%-12s %10s %10s %7s %12s %8s %16s  %s\n", "size", "us/call", "floor us", "ratio", "bytes/call",
                "reads", "version", "file");
    for (const char *path : files) {
        struct stat info {};
        unsigned long long bytes = 0;
        unsigned reads = 0;
        if (stat(path, &info) != 0 || !measureReads(path, &bytes, &reads)) {
            std::printf("cannot read %s\n", path);
            return 1;
        }
        unsigned parts[4] = {0, 0, 0, 0};
        // The whole query as the export runs it (open, fstat, the reads, close), and the same
        // system calls with nothing parsed, in alternating rounds; the best round of each counts.
        double us = 1e18, floorUs = 1e18;
        const long perRound = calls / 5 > 0 ? calls / 5 : 1;
        for (int round = 0; round < 5; ++round) {
            auto start = std::chrono::steady_clock::now();
            for (long i = 0; i < perRound; ++i) {
                GetFileVersionParts(path, &parts[0], &parts[1], &parts[2], &parts[3]);
            }
            std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
            us = std::min(us, spent.count() / static_cast<double>(perRound));
            start = std::chrono::steady_clock::now();
            for (long i = 0; i < perRound; ++i) {
                syscall_floor(path, reads, bytes);
            }
            spent = std::chrono::steady_clock::now() - start;
            floorUs = std::min(floorUs, spent.count() / static_cast<double>(perRound));
        }
        char version[32];
        std::snprintf(version, sizeof version, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
        std::printf("%-12lld %10.2f %10.2f %7.2f %12llu %8u %16s  %s\n", static_cast<long long>(info.st_size), us,
                    floorUs, us / floorUs, bytes, reads, version, path);
    }
    return 0;
}
