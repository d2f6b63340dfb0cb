// Our own reader of the fixed file version in a PE file (PE32 and PE32+, any machine).
// It reads the headers, the resource directory entries it walks and the first bytes of the
// version block, nothing else, so its cost does not grow with the size of the file.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads n bytes at an offset of one input, either an open file descriptor or a memory span of
// exactly the input's size. A read that would reach past the end is refused and reads nothing.
class ByteReader {
public:
    static ByteReader overFile(int fd, std::uint64_t size);
    static ByteReader overMemory(const unsigned char *data, std::size_t size);

    // True with `dst` filled with `n` bytes from `offset`; false when they are not all there.
    bool read(std::uint64_t offset, void *dst, std::size_t n);

    std::uint64_t size() const { return size_; }
    // Totals since construction, for the benchmark: the reads asked for and their bytes, and
    // (over a file) the system calls made and the bytes they brought in.
    std::uint64_t bytesRead() const { return bytesRead_; }
    unsigned readCount() const { return readCount_; }
    std::uint64_t fileBytes() const { return fileBytes_; }
    unsigned fileReads() const { return fileReads_; }

private:
    ByteReader(int fd, const unsigned char *data, std::uint64_t size) : fd_(fd), data_(data), size_(size) {}

    bool preadAll(std::uint64_t offset, unsigned char *out, std::size_t n);

    // Small reads are served from page-sized windows of the file: the first one loaded (the
    // headers and the section table, which every lookup of an address needs again) stays, the
    // second follows the resource tree and the version block.
    static constexpr std::size_t kWindow = 4096;
    struct Window {
        std::uint64_t start = 0;
        std::size_t length = 0;
        unsigned char bytes[kWindow];
    };

    int fd_;
    const unsigned char *data_;
    std::uint64_t size_;
    std::uint64_t bytesRead_ = 0;
    unsigned readCount_ = 0;
    std::uint64_t fileBytes_ = 0;
    unsigned fileReads_ = 0;
    unsigned windowsLoaded_ = 0;
    Window windows_[2];
};

// True with both halves set from the VS_FIXEDFILEINFO of the file's version resource (type
// RT_VERSION, ID 1, language neutral, else US English, else the first); false with neither set
// when the input is no PE file, has no such resource, or any part of the way lies outside it.
bool readPeFileVersion(ByteReader &reader, std::uint32_t *fileVersionMS, std::uint32_t *fileVersionLS);
