// Pieces of the export that the tests reach without a JVM. Not exported from the library.
#pragma once

#include <jni.h>

#include <cstddef>

// Narrow path buffer: at most 255 bytes of path and the terminating NUL.
constexpr std::size_t kPathBufferSize = 256;
// Result text buffer; "65535.65535.65535.65535" needs 24 bytes with its NUL.
constexpr std::size_t kResultBufferSize = 256;

// Narrows `length` UTF-16 code units into `out`, terminated. Fails (returns false) when a unit
// is above 0x00FF, when the path holds a NUL (the rest would be dropped, naming another file),
// when it is longer than 255 units (a cut path can name another file too), or when it is empty.
// Reads no unit at or past `length`.
bool narrowPath(const jchar *chars, jsize length, char (&out)[kPathBufferSize]);

// The version query on a narrow path: 1 with all four parts set, 0 with none set.
int GetFileVersionParts(const char *path, unsigned *part1, unsigned *part2, unsigned *part3, unsigned *part4);
