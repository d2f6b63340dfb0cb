// libFuzzer target for the PE version reader. Each input is read in place from libFuzzer's own
// buffer, which is exactly the input's size, so any read past the end is an AddressSanitizer
// error; a walk that reads without bound is caught by the read-count check.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "PeVersionReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ByteReader reader = ByteReader::overMemory(data, size);
    std::uint32_t ms = 0xDEADBEEF, ls = 0xDEADBEEF;
    bool found = readPeFileVersion(reader, &ms, &ls);
    // Neither half is touched on failure.
    if (!found && (ms != 0xDEADBEEF || ls != 0xDEADBEEF)) {
        __builtin_trap();
    }
    // The reader walks the headers, the section table twice (16 headers a read, at most 65535
    // sections), three directory levels and one block: bounded whatever the input claims.
    constexpr unsigned kTableReads = 2 * (65535 / 16 + 1);
    constexpr std::uint64_t kTableBytes = 2ULL * 65535 * 40;
    if (reader.readCount() > 64 + kTableReads || reader.bytesRead() > 64 * 1024 + kTableBytes) {
        __builtin_trap();
    }

    // The same input as a file: the page windows in front of the file must change nothing.
    static const int fd = memfd_create("pe-input", 0);
    if (fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size)) {
        ByteReader file = ByteReader::overFile(fd, size);
        std::uint32_t fms = 0xDEADBEEF, fls = 0xDEADBEEF;
        bool fileFound = readPeFileVersion(file, &fms, &fls);
        if (fileFound != found || fms != ms || fls != ls) {
            __builtin_trap();
        }
    }
    return 0;
}
