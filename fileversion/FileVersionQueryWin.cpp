// The version query on Windows: the platform's version API, in the order the host's Windows
// build has always used it.
#include <windows.h>

#include <cstdlib>

#include "FileVersionQuery.h"

bool queryFileVersion(const char *path, std::uint32_t *fileVersionMS, std::uint32_t *fileVersionLS)
{
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    // Only plain files: a device or pipe name must not be opened and read.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return false;
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) {
        return false;
    }
    void *block = std::malloc(size);
    if (block == nullptr) {
        return false;
    }
    bool found = false;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (GetFileVersionInfoA(path, handle, size, block) != 0 &&
        VerQueryValueA(block, "\\", reinterpret_cast<void **>(&fixed), &length) != 0 && fixed != nullptr) {
        // The API hands back whatever the file claims; a fixed part that is short or does not lie
        // inside our block is no version.
        const char *begin = static_cast<const char *>(block);
        const char *at = reinterpret_cast<const char *>(fixed);
        if (length >= sizeof(VS_FIXEDFILEINFO) && size >= sizeof(VS_FIXEDFILEINFO) && at >= begin &&
            static_cast<DWORD>(at - begin) <= size - sizeof(VS_FIXEDFILEINFO)) {
            *fileVersionMS = fixed->dwFileVersionMS;
            *fileVersionLS = fixed->dwFileVersionLS;
            found = true;
        }
    }
    std::free(block);
    return found;
}
