#include "OpenFailure.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

NodeCheck checkNode(const char *path)
{
    NodeCheck c;
    struct stat st;
    if (path == nullptr || stat(path, &st) != 0) {
        return c;
    }
    c.exists = true;
    c.mode = st.st_mode & 07777;
    c.uid = st.st_uid;
    c.gid = st.st_gid;
    c.readWrite = access(path, R_OK | W_OK) == 0;
    return c;
}

void explainOpenFailure(const char *path, const NodeCheck &check, const char *hidError,
                        const char *udevRule, char *out, size_t n)
{
    if (n == 0) {
        return;
    }
    const char *p = path != nullptr ? path : "(no path)";
    const char *why = hidError != nullptr && hidError[0] != '\0' ? hidError : "no reason given";
    if (!check.exists) {
        std::snprintf(out, n,
                      "The device node %s does not exist (the HID layer said: %s).\n"
                      "The camera may have been unplugged, or its node was removed; plug it in "
                      "again and run 'nembrel-camera list'.",
                      p, why);
    } else if (!check.readWrite) {
        std::snprintf(out, n,
                      "You may not read and write %s (mode %03o, owner uid %u, group gid %u).\n"
                      "Install the udev rule %s, which gives the user at the seat access "
                      "(TAG+=\"uaccess\"), then run 'udevadm control --reload && udevadm trigger' "
                      "as root and plug the camera in again.",
                      p, check.mode, check.uid, check.gid, udevRule);
    } else {
        std::snprintf(out, n,
                      "%s is there and you may read and write it, yet it did not open (the HID "
                      "layer said: %s).\n"
                      "Another program may hold the camera; close it, or plug the camera in again.",
                      p, why);
    }
}
