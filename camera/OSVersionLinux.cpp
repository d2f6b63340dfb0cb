#include "OSVersion.h"

#include <cstdlib>
#include <sys/utsname.h>

// The kernel's release ("6.1.0-27-cloud-amd64"): its first three numbers.
void osVersion(int *major, int *minor, int *patch)
{
    int *parts[3] = {major, minor, patch};
    for (int *p : parts) {
        *p = 0;
    }
    struct utsname u;
    if (uname(&u) != 0) {
        return;
    }
    const char *s = u.release;
    for (int *p : parts) {
        char *end = nullptr;
        long v = strtol(s, &end, 10);
        if (end == s) {
            return;
        }
        *p = v < 0 || v > 1000000 ? 0 : static_cast<int>(v);
        if (*end != '.') {
            return;
        }
        s = end + 1;
    }
}
