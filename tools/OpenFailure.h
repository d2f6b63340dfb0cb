// Why a camera that discovery found could not be opened, in words a person can act on.
#pragma once

#include <cstddef>

struct NodeCheck {
    bool exists = false;
    bool readWrite = false;  // this process may read and write it
    unsigned mode = 0;       // permission bits
    unsigned uid = 0;
    unsigned gid = 0;
};

// Looks at the device node: stat() and access(R_OK | W_OK).
NodeCheck checkNode(const char *path);

// Writes the explanation for `path` into out (always terminated, cut to n bytes).
// hidError is the HID layer's own text, or null.
void explainOpenFailure(const char *path, const NodeCheck &check, const char *hidError,
                        const char *udevRule, char *out, size_t n);
