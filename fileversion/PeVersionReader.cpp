// The on-disk structures are written out beside the code that reads them. All fields are
// little-endian; every offset that comes from the file is checked before it is used.
#include "PeVersionReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

ByteReader ByteReader::overFile(int fd, std::uint64_t size)
{
    return ByteReader(fd, nullptr, size);
}

ByteReader ByteReader::overMemory(const unsigned char *data, std::size_t size)
{
    return ByteReader(-1, data, data == nullptr ? 0 : size);
}

bool ByteReader::read(std::uint64_t offset, void *dst, std::size_t n)
{
    if (dst == nullptr || offset > size_ || n > size_ - offset) {
        return false;
    }
    ++readCount_;
    bytesRead_ += n;
    if (data_ != nullptr) {
        std::memcpy(dst, data_ + offset, n);
        return true;
    }
    auto *out = static_cast<unsigned char *>(dst);
    if (n > kWindow) {
        return preadAll(offset, out, n);
    }
    for (const Window &w : windows_) {
        if (offset >= w.start && offset - w.start <= w.length && n <= w.length - (offset - w.start)) {
            std::memcpy(out, w.bytes + (offset - w.start), n);
            return true;
        }
    }
    // The page that holds the read's start, or the read's start itself when the read would run
    // past that page.
    std::uint64_t start = offset & ~static_cast<std::uint64_t>(kWindow - 1);
    if (offset + n > start + kWindow) {
        start = offset;
    }
    const std::uint64_t left = size_ - start;
    const std::size_t length = left < kWindow ? static_cast<std::size_t>(left) : kWindow;
    Window &w = windows_[windowsLoaded_ == 0 ? 0 : 1];
    w.length = 0;
    if (!preadAll(start, w.bytes, length)) {
        return false;
    }
    w.start = start;
    w.length = length;
    ++windowsLoaded_;
    std::memcpy(out, w.bytes + (offset - start), n);
    return true;
}

bool ByteReader::preadAll(std::uint64_t offset, unsigned char *out, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        ++fileReads_;
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // the file shrank under us, or cannot be read
        }
        done += static_cast<std::size_t>(got);
        fileBytes_ += static_cast<std::uint64_t>(got);
    }
    return true;
}

namespace {

std::uint16_t le16(const unsigned char *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const unsigned char *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// IMAGE_DOS_HEADER: e_magic "MZ" at 0, e_lfanew (offset of the PE signature) at 60.
constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kDosLfanew = 60;

// "PE\0\0", then IMAGE_FILE_HEADER (20 bytes):
//   0 Machine, 2 NumberOfSections, 4 TimeDateStamp, 8 PointerToSymbolTable,
//   12 NumberOfSymbols, 16 SizeOfOptionalHeader, 18 Characteristics
constexpr std::size_t kPeSignatureSize = 4;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kFileNumberOfSections = 2;
constexpr std::size_t kFileSizeOfOptionalHeader = 16;

// IMAGE_OPTIONAL_HEADER: Magic at 0 (0x10B PE32, 0x20B PE32+); NumberOfRvaAndSizes at 92 (PE32)
// or 108 (PE32+), the data directories (8 bytes each: VirtualAddress, Size) right after it.
// The resource directory is entry 2.
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kPe32NumberOfRvaAndSizes = 92;
constexpr std::size_t kPe32PlusNumberOfRvaAndSizes = 108;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::size_t kDataDirectorySize = 8;
constexpr std::size_t kOptionalHeaderReadSize =
    kPe32PlusNumberOfRvaAndSizes + 4 + (kResourceDirectoryIndex + 1) * kDataDirectorySize;

// IMAGE_SECTION_HEADER (40 bytes): 0 Name[8], 8 VirtualSize, 12 VirtualAddress,
// 16 SizeOfRawData, 20 PointerToRawData, ... The name does not matter to us.
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionVirtualAddress = 12;
constexpr std::size_t kSectionSizeOfRawData = 16;
constexpr std::size_t kSectionPointerToRawData = 20;
constexpr std::size_t kSectionsPerRead = 16;

// IMAGE_RESOURCE_DIRECTORY (16 bytes): 12 NumberOfNamedEntries, 14 NumberOfIdEntries, then the
// entries (8 bytes each: Name or ID, OffsetToData), named ones first. In OffsetToData the high bit
// marks a subdirectory; the other bits are an offset from the start of the resource directory.
constexpr std::size_t kResourceDirectorySize = 16;
constexpr std::size_t kResourceNamedEntries = 12;
constexpr std::size_t kResourceIdEntries = 14;
constexpr std::size_t kResourceEntrySize = 8;
constexpr std::uint32_t kEntryIsName = 0x80000000u;
constexpr std::uint32_t kEntryIsDirectory = 0x80000000u;
constexpr std::uint32_t kEntryOffsetMask = 0x7FFFFFFFu;
constexpr std::size_t kEntriesPerRead = 32;

// IMAGE_RESOURCE_DATA_ENTRY (16 bytes): 0 OffsetToData (an RVA), 4 Size, 8 CodePage, 12 Reserved.
constexpr std::size_t kDataEntrySize = 16;

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVsVersionInfoId = 1;
constexpr std::uint32_t kLangNeutral = 0x0000;
constexpr std::uint32_t kLangEnglishUs = 0x0409;

// VS_VERSIONINFO: 0 wLength, 2 wValueLength, 4 wType, 6 szKey (L"VS_VERSION_INFO" and its NUL),
// padding to a multiple of 4 from the block's start, then the value, VS_FIXEDFILEINFO (52 bytes):
// 0 dwSignature 0xFEEF04BD, 4 dwStrucVersion, 8 dwFileVersionMS, 12 dwFileVersionLS, ...
// The Windows API tests neither the key's text nor the signature on this way, and trusts the
// resource's size over wLength; we do the same, so that both builds answer alike. The value
// starts after the key's own terminator.
constexpr std::size_t kBlockKey = 6;
constexpr std::size_t kFixedFileInfoSize = 52;
constexpr std::size_t kFixedFileVersionMS = 8;
constexpr std::size_t kFixedFileVersionLS = 12;
// "VS_VERSION_INFO" puts the value at 40; we read far enough for a somewhat longer key.
constexpr std::size_t kBlockHeadSize = 160;
constexpr std::size_t kBlockNeeded = 40 + kFixedFileInfoSize;

// Where an RVA lies in the file, and how far the section holding it goes there.
struct FileSpan {
    std::uint64_t offset;
    std::uint64_t end;
};

class PeImage {
public:
    explicit PeImage(ByteReader &reader) : reader_(reader) {}

    bool readHeaders(std::uint32_t *resourceRva);
    // Maps [rva, rva + length) to the file through the section table; it must lie wholly in the
    // raw data of one section.
    bool mapRva(std::uint32_t rva, std::uint32_t length, FileSpan *span);

private:
    ByteReader &reader_;
    std::uint64_t sectionTable_ = 0;
    std::uint16_t sectionCount_ = 0;
};

bool PeImage::readHeaders(std::uint32_t *resourceRva)
{
    unsigned char dos[kDosHeaderSize];
    if (!reader_.read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return false;
    }
    const std::uint64_t peOffset = le32(dos + kDosLfanew);
    unsigned char pe[kPeSignatureSize + kFileHeaderSize];
    if (!reader_.read(peOffset, pe, sizeof pe) || std::memcmp(pe, "PE\0\0", 4) != 0) {
        return false;
    }
    const unsigned char *fileHeader = pe + kPeSignatureSize;
    sectionCount_ = le16(fileHeader + kFileNumberOfSections);
    const std::uint16_t optionalSize = le16(fileHeader + kFileSizeOfOptionalHeader);
    const std::uint64_t optionalOffset = peOffset + sizeof pe;
    sectionTable_ = optionalOffset + optionalSize;

    unsigned char opt[kOptionalHeaderReadSize];
    const std::size_t optRead = optionalSize < sizeof opt ? optionalSize : sizeof opt;
    if (optRead < 2 || !reader_.read(optionalOffset, opt, optRead)) {
        return false;
    }
    std::size_t countAt = 0;
    const std::uint16_t magic = le16(opt);
    if (magic == kMagicPe32) {
        countAt = kPe32NumberOfRvaAndSizes;
    } else if (magic == kMagicPe32Plus) {
        countAt = kPe32PlusNumberOfRvaAndSizes;
    } else {
        return false;
    }
    const std::size_t directoryAt = countAt + 4 + kResourceDirectoryIndex * kDataDirectorySize;
    if (optRead < directoryAt + kDataDirectorySize || le32(opt + countAt) <= kResourceDirectoryIndex) {
        return false;
    }
    *resourceRva = le32(opt + directoryAt);
    return *resourceRva != 0;
}

bool PeImage::mapRva(std::uint32_t rva, std::uint32_t length, FileSpan *span)
{
    unsigned char headers[kSectionsPerRead * kSectionHeaderSize];
    for (unsigned first = 0; first < sectionCount_; first += kSectionsPerRead) {
        const unsigned count = sectionCount_ - first < kSectionsPerRead ? sectionCount_ - first : kSectionsPerRead;
        if (!reader_.read(sectionTable_ + std::uint64_t{first} * kSectionHeaderSize, headers,
                          count * kSectionHeaderSize)) {
            return false;
        }
        for (unsigned i = 0; i < count; ++i) {
            const unsigned char *section = headers + i * kSectionHeaderSize;
            const std::uint32_t va = le32(section + kSectionVirtualAddress);
            const std::uint32_t rawSize = le32(section + kSectionSizeOfRawData);
            const std::uint32_t rawPointer = le32(section + kSectionPointerToRawData);
            if (rva < va || rva - va >= rawSize) {
                continue;
            }
            const std::uint64_t into = rva - va;
            if (length > rawSize - into) {
                return false; // starts in this section's data but runs out of it
            }
            span->offset = std::uint64_t{rawPointer} + into;
            span->end = std::uint64_t{rawPointer} + rawSize;
            return true;
        }
    }
    return false;
}

// One directory of the resource tree; offsets are from the start of the resource directory,
// and nothing of the tree may be read past the end of the section that holds its root.
class ResourceTree {
public:
    ResourceTree(ByteReader &reader, FileSpan root) : reader_(reader), root_(root) {}

    bool read(std::uint64_t offset, void *dst, std::size_t n)
    {
        const std::uint64_t at = root_.offset + offset;
        if (at > root_.end || n > root_.end - at) {
            return false;
        }
        return reader_.read(at, dst, n);
    }

    // The OffsetToData of the entry with ID `id` among the ID entries of the directory at `offset`.
    bool findId(std::uint32_t offset, std::uint32_t id, std::uint32_t *target);
    // The language entry: neutral, else US English, else the first entry of the directory.
    bool findLanguage(std::uint32_t offset, std::uint32_t *target);

private:
    // Calls `visit(index, nameOrId, offsetToData)` for each entry until it returns true.
    template <typename Visit> bool forEachEntry(std::uint32_t offset, Visit visit, unsigned *namedCount);

    ByteReader &reader_;
    FileSpan root_;
};

template <typename Visit> bool ResourceTree::forEachEntry(std::uint32_t offset, Visit visit, unsigned *namedCount)
{
    unsigned char directory[kResourceDirectorySize];
    if (!read(offset, directory, sizeof directory)) {
        return false;
    }
    *namedCount = le16(directory + kResourceNamedEntries);
    const unsigned total = *namedCount + le16(directory + kResourceIdEntries);
    const std::uint64_t entries = std::uint64_t{offset} + kResourceDirectorySize;
    unsigned char chunk[kEntriesPerRead * kResourceEntrySize];
    for (unsigned first = 0; first < total; first += kEntriesPerRead) {
        const unsigned count = total - first < kEntriesPerRead ? total - first : kEntriesPerRead;
        const std::uint64_t at = entries + std::uint64_t{first} * kResourceEntrySize;
        if (!read(at, chunk, count * kResourceEntrySize)) {
            return false;
        }
        for (unsigned i = 0; i < count; ++i) {
            const unsigned char *entry = chunk + i * kResourceEntrySize;
            if (visit(first + i, le32(entry), le32(entry + 4))) {
                return true;
            }
        }
    }
    return false;
}

bool ResourceTree::findId(std::uint32_t offset, std::uint32_t id, std::uint32_t *target)
{
    unsigned named = 0;
    return forEachEntry(
        offset,
        [&](unsigned index, std::uint32_t name, std::uint32_t data) {
            if (index < named || (name & kEntryIsName) != 0 || name != id) {
                return false;
            }
            *target = data;
            return true;
        },
        &named);
}

bool ResourceTree::findLanguage(std::uint32_t offset, std::uint32_t *target)
{
    bool haveFirst = false;
    bool haveEnglish = false;
    std::uint32_t first = 0;
    std::uint32_t english = 0;
    unsigned named = 0;
    const bool neutral = forEachEntry(
        offset,
        [&](unsigned, std::uint32_t name, std::uint32_t data) {
            if (!haveFirst) {
                haveFirst = true;
                first = data;
            }
            if (name == kLangNeutral) {
                *target = data;
                return true;
            }
            if (name == kLangEnglishUs && !haveEnglish) {
                haveEnglish = true;
                english = data;
            }
            return false;
        },
        &named);
    if (neutral) {
        return true;
    }
    if (!haveFirst) {
        return false; // an empty directory, or one that could not be read in full
    }
    *target = haveEnglish ? english : first;
    return true;
}

} // namespace

bool readPeFileVersion(ByteReader &reader, std::uint32_t *fileVersionMS, std::uint32_t *fileVersionLS)
{
    if (fileVersionMS == nullptr || fileVersionLS == nullptr) {
        return false;
    }
    PeImage image(reader);
    std::uint32_t resourceRva = 0;
    FileSpan root{};
    if (!image.readHeaders(&resourceRva) || !image.mapRva(resourceRva, kResourceDirectorySize, &root)) {
        return false;
    }

    // Exactly three levels, type -> name -> language, so a directory that points back at itself
    // or at an ancestor can never make us loop.
    ResourceTree tree(reader, root);
    std::uint32_t typeDirectory = 0;
    std::uint32_t nameDirectory = 0;
    std::uint32_t language = 0;
    if (!tree.findId(0, kRtVersion, &typeDirectory) || (typeDirectory & kEntryIsDirectory) == 0 ||
        !tree.findId(typeDirectory & kEntryOffsetMask, kVsVersionInfoId, &nameDirectory) ||
        (nameDirectory & kEntryIsDirectory) == 0 || !tree.findLanguage(nameDirectory & kEntryOffsetMask, &language) ||
        (language & kEntryIsDirectory) != 0) {
        return false;
    }
    unsigned char dataEntry[kDataEntrySize];
    if (!tree.read(language, dataEntry, sizeof dataEntry)) {
        return false;
    }
    const std::uint32_t blockRva = le32(dataEntry);
    const std::uint32_t blockSize = le32(dataEntry + 4);
    FileSpan block{};
    const std::uint32_t mapped = blockSize < kBlockHeadSize ? blockSize : kBlockHeadSize;
    if (blockSize < kBlockNeeded || !image.mapRva(blockRva, mapped, &block)) {
        return false;
    }

    // Only the head of the block, up to the end of VS_FIXEDFILEINFO, is read.
    unsigned char head[kBlockHeadSize];
    const std::size_t headSize = blockSize < sizeof head ? blockSize : sizeof head;
    if (!reader.read(block.offset, head, headSize)) {
        return false;
    }
    std::size_t keyEnd = kBlockKey;
    while (keyEnd + 2 <= headSize && le16(head + keyEnd) != 0) {
        keyEnd += 2;
    }
    const std::size_t value = (keyEnd + 2 + 3) & ~std::size_t{3};
    // The fixed part must be all there and inside the resource that holds the block.
    if (le16(head + 2) < kFixedFileInfoSize || value + kFixedFileInfoSize > headSize) {
        return false;
    }
    *fileVersionMS = le32(head + value + kFixedFileVersionMS);
    *fileVersionLS = le32(head + value + kFixedFileVersionLS);
    return true;
}
