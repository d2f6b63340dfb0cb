// A file's version through the version library Pellimor, as the Java host would get it.
#pragma once

#include <cstddef>

// Calls Pellimor's JNI export with a minimal JNI environment of our own and copies its text
// ("a.b.c.d", "0.0.0.0" when there is no readable version) into out. The path is taken as
// UTF-8 and handed over as UTF-16, the way the JVM hands a Java string over. Returns false
// only when the export gave no text.
bool fileVersion(const char *path, char *out, size_t n);

// Decodes UTF-8 into UTF-16 units (malformed bytes become U+FFFD); returns the number of units
// written, never more than n.
size_t utf8ToUtf16(const char *utf8, unsigned short *out, size_t n);

// `version <path>`: prints the version; returns an exit code.
int printFileVersion(const char *path);
