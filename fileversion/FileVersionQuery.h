// The one operation the library needs of the platform: a file's fixed file version.
// Implemented by FileVersionQueryWin.cpp (the Windows version API) and by
// FileVersionQueryPE.cpp (our own PE reader) elsewhere.
#pragma once

#include <cstdint>

// For a narrow, NUL-terminated path: true with `fileVersionMS` and `fileVersionLS` set from the
// file's VS_FIXEDFILEINFO, false (both untouched) when there is none or the file cannot be read.
bool queryFileVersion(const char *path, std::uint32_t *fileVersionMS, std::uint32_t *fileVersionLS);
