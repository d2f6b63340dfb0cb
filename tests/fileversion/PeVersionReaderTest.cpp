// Our PE reader against the fixtures, over a file and over a memory span of exactly the
// input's size, and against cut, corrupted and non-regular inputs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "FileVersionQuery.h"
#include "FixtureCases.h"
#include "PeVersionReader.h"

namespace {

const std::string kFixtures = PELLIMOR_FIXTURES_DIR;

std::vector<unsigned char> readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string text(std::uint32_t ms, std::uint32_t ls)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ms >> 16, ms & 0xFFFFu, ls >> 16, ls & 0xFFFFu);
    return buf;
}

// Runs the reader over a heap copy of exactly `size` bytes, so a sanitizer catches any over-read.
std::string readOverMemory(const std::vector<unsigned char> &bytes, std::size_t size,
                           std::uint64_t *bytesRead = nullptr)
{
    std::unique_ptr<unsigned char[]> exact(new unsigned char[size == 0 ? 1 : size]);
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), exact.get());
    ByteReader reader = ByteReader::overMemory(exact.get(), size);
    std::uint32_t ms = 0xDEADBEEF, ls = 0xDEADBEEF;
    const bool found = readPeFileVersion(reader, &ms, &ls);
    if (bytesRead != nullptr)
        *bytesRead = reader.bytesRead();
    if (!found) {
        EXPECT_EQ(ms, 0xDEADBEEFu) << "a failed read must leave the version alone";
        return "0.0.0.0";
    }
    return text(ms, ls);
}

TEST(PeVersionReader, EveryFixtureGivesItsVersionFromFileAndFromMemory)
{
    const std::vector<FixtureCase> cases = loadFixtureCases(kFixtures);
    ASSERT_FALSE(cases.empty()) << "no cases.txt in " << kFixtures;
    for (const FixtureCase &c : cases) {
        SCOPED_TRACE(c.file + ": " + c.what);
        const std::string path = kFixtures + "/" + c.file;
        std::uint32_t ms = 0, ls = 0;
        EXPECT_EQ(queryFileVersion(path.c_str(), &ms, &ls) ? text(ms, ls) : "0.0.0.0", c.expected);

        const std::vector<unsigned char> bytes = readFile(path);
        std::uint64_t bytesRead = 0;
        EXPECT_EQ(readOverMemory(bytes, bytes.size(), &bytesRead), c.expected);
        // Headers, a few directory entries and the head of the block; never the whole file.
        EXPECT_LE(bytesRead, 2048u);
    }
}

TEST(PeVersionReader, AFileCutAnywhereBeforeTheFixedPartHasNoVersion)
{
    const std::vector<unsigned char> bytes = readFile(kFixtures + "/v1234.dll");
    ASSERT_FALSE(bytes.empty());
    // The fixed part ends 92 bytes after the start of the block; the rest of the file is not read.
    const unsigned char key[] = {'V', 0, 'S', 0, '_', 0, 'V', 0};
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(key), std::end(key));
    ASSERT_NE(at, bytes.end());
    const std::size_t fixedEnd = static_cast<std::size_t>(at - bytes.begin()) - 6 + 92;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        SCOPED_TRACE("cut at " + std::to_string(size));
        EXPECT_EQ(readOverMemory(bytes, size), size < fixedEnd ? "0.0.0.0" : "1.2.3.4");
    }
}

TEST(PeVersionReader, NoSingleCorruptedByteMakesItCrashOrHang)
{
    const std::vector<unsigned char> original = readFile(kFixtures + "/v65535.dll");
    ASSERT_FALSE(original.empty());
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < original.size(); ++i) {
        for (int value : {0x00, 0x80, 0xFF}) {
            std::vector<unsigned char> bytes = original;
            bytes[i] = static_cast<unsigned char>(value);
            readOverMemory(bytes, bytes.size()); // whatever it answers, within the exact buffer
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(PeVersionReader, PathsThatAreNoRegularFileHaveNoVersionAndNeverBlock)
{
    char dir[] = "/tmp/pellimor-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0); // no writer: a blocking open would hang here
    const std::string missing = std::string(dir) + "/missing.dll";
    struct Row {
        std::string path;
        const char *what;
    } rows[] = {
        {fifo, "a FIFO without a writer"},       {dir, "a directory"},  {"/dev/zero", "a device that never ends"},
        {missing, "a path that does not exist"}, {"", "an empty path"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::uint32_t ms = 7, ls = 7;
        EXPECT_FALSE(queryFileVersion(row.path.c_str(), &ms, &ls));
        EXPECT_EQ(ms, 7u);
    }
    unlink(fifo.c_str());
    rmdir(dir);
}

} // namespace

// Over a file, small reads are served from page windows: whatever the offsets, the bytes must
// be those of the file, reads past the end refused, and a run of reads inside the headers'
// page and one more page must cost two system calls.
TEST(ByteReader, FileWindowsGiveTheFilesBytes)
{
    std::vector<unsigned char> content(3 * 4096 + 123);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<unsigned char>((i * 131) ^ (i >> 8));
    }
    char path[] = "/tmp/pellimor-window-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));

    struct Read {
        std::uint64_t offset;
        std::size_t n;
        bool ok;
    } reads[] = {
        {0, 64, true},     {60, 4, true},     {4090, 12, true},   {4096, 100, true},  {8191, 2, true},
        {0, 4096, true},   {1, 4096, true},   {100, 9000, true},  {12288, 123, true}, {12288, 124, false},
        {12411, 0, true},  {12412, 0, false}, {12400, 11, true},  {64, 8, true},      {12300, 4096, false},
    };
    ByteReader file = ByteReader::overFile(fd, content.size());
    ByteReader memory = ByteReader::overMemory(content.data(), content.size());
    for (const Read &r : reads) {
        std::vector<unsigned char> a(r.n + 1, 0xAA), b(r.n + 1, 0xAA);
        EXPECT_EQ(file.read(r.offset, a.data(), r.n), r.ok) << r.offset << "+" << r.n;
        EXPECT_EQ(memory.read(r.offset, b.data(), r.n), r.ok) << r.offset << "+" << r.n;
        if (r.ok) {
            EXPECT_TRUE(std::equal(a.begin(), a.end() - 1, content.begin() + static_cast<long>(r.offset)))
                << r.offset << "+" << r.n;
        }
        EXPECT_EQ(a.back(), 0xAA) << "wrote past the read at " << r.offset;
        EXPECT_EQ(a, b) << r.offset << "+" << r.n;
    }

    ByteReader headers = ByteReader::overFile(fd, content.size());
    unsigned char buf[64];
    for (std::uint64_t off : {0, 64, 128, 300, 5000, 5100, 200, 6000, 40}) {
        ASSERT_TRUE(headers.read(off, buf, sizeof buf));
    }
    EXPECT_EQ(headers.fileReads(), 2u);
    close(fd);
    unlink(path);
}
