#include "CameraSession.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "CHIDWrapperJ.h"
#include "ExitCodes.h"
#include "Exports.h"
#include "OpenFailure.h"

#ifndef NEMBREL_UDEV_RULE
#define NEMBREL_UDEV_RULE "/usr/lib/udev/rules.d/70-nembrel-camera.rules"
#endif

void describeStatus(int s, char *out, unsigned long n)
{
    static const struct {
        unsigned bit;
        const char *name;
    } kBits[] = {{kStatusPower, "power"},   {kStatusExtended, "extended"}, {kStatusZoom, "zoom"},
                 {kStatusFreezed, "frozen"}, {kStatusLight, "light"}};
    if (n == 0) {
        return;
    }
    out[0] = '\0';
    size_t used = 0;
    for (const auto &b : kBits) {
        if ((static_cast<unsigned>(s) & b.bit) == 0) {
            continue;
        }
        int w = std::snprintf(out + used, n - used, "%s%s", used > 0 ? ", " : "", b.name);
        if (w < 0 || static_cast<size_t>(w) >= n - used) {
            out[used] = '\0';  // whole names only
            break;
        }
        used += static_cast<size_t>(w);
    }
    if (used == 0) {
        std::snprintf(out, n, "none");
    }
}

namespace {

void step(const char *name, int result, const char *meaning)
{
    std::printf("%-15s %5d  %s\n", name, result, meaning);
    std::fflush(stdout);
}

// What the library last read from the camera (its stored status byte).
int storedStatus() { return gHIDWrapper.status; }

void statusMeaning(const char *lead, int s, char *out, size_t n)
{
    char bits[64];
    describeStatus(s, bits, sizeof bits);
    std::snprintf(out, n, "%sstatus 0x%02x (%s)", lead, static_cast<unsigned>(s) & 0xFF, bits);
}

void printLogPlace()
{
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) {
        std::printf("log: %s/HIDWrapperJ.log\n", cwd);
    }
}

// Discovery and selection; with `bringUp`, also power on (and extended mode). Returns kExitOk
// or the exit code to stop with.
int connect(bool bringUp)
{
    char text[1024];
    int order = init();
    if (order == 0) {
        step("init", order, "no HID devices at all (or they could not be enumerated)");
        std::printf("No camera: is it plugged in? 'nembrel-camera list' shows what the HID layer sees.\n");
        return kExitNoCamera;
    }
    if (order < 0) {
        step("init", order, "HID devices, but no Panasonic or Somia camera among them");
        std::printf("No camera: 'nembrel-camera list' shows the devices and why none was chosen.\n");
        return kExitNoCamera;
    }
    bool somia = order > 1000;
    std::snprintf(text, sizeof text, "%s camera found, entry %d of the HID device list",
                  somia ? "Somia" : "Panasonic", somia ? order - 1000 : order);
    step("init", order, text);

    int sel = selectDevice();
    const char *path = gHIDWrapper.selDevice != nullptr ? gHIDWrapper.selDevice->path : nullptr;
    if (sel != 1) {
        step("selectDevice", sel, "could not open the camera's HID device");
        const wchar_t *w = hid_error(nullptr);
        char why[512];
        std::snprintf(why, sizeof why, "%ls", w != nullptr ? w : L"");
        explainOpenFailure(path, checkNode(path), why, NEMBREL_UDEV_RULE, text, sizeof text);
        std::printf("%s\n", text);
        return kExitCannotOpen;
    }
    std::snprintf(text, sizeof text, "connected to %s", path != nullptr ? path : "(no path)");
    step("selectDevice", sel, text);
    if (!bringUp) {
        return kExitOk;
    }

    int open = openDevice();
    if (open != 1) {
        step("openDevice", open, "the camera was lost while powering it on (see the log)");
        return kExitCannotOpen;
    }
    if (somia) {
        // The library reads no status while bringing this model up.
        std::snprintf(text, sizeof text, "powered on (this model's status is read next)");
    } else {
        statusMeaning("powered on, extended mode; ", storedStatus(), text, sizeof text);
    }
    step("openDevice", open, text);
    return kExitOk;
}

// Result of a toggle: 2 written, 0 not.
bool toggled(const char *name, int r)
{
    char text[256];
    if (r == 2) {
        statusMeaning("written; ", storedStatus(), text, sizeof text);
    } else {
        std::snprintf(text, sizeof text, "not written (no camera open, or the write failed)");
    }
    step(name, r, text);
    return r == 2;
}

// Result of freeze, unfreeze, save: 0 written (a camera is open here), 1 the write failed.
bool fixedCode(const char *name, int r)
{
    step(name, r, r == 0 ? "written" : "the write failed");
    return r == 0;
}

bool resumed(int r)
{
    char text[256];
    if (r == 1) {
        statusMeaning("sent (a failed write also gives 1: see the log); ", storedStatus(), text,
                      sizeof text);
    } else {
        std::snprintf(text, sizeof text, "no camera open");
    }
    step("resume", r, text);
    return r == 1;
}

// Reads the reports the camera has queued; the last one is its current status. Bounded, so
// that a camera sending without pause cannot keep us here.
bool readStatus()
{
    int last = -1;
    for (int i = 0; i < 64; ++i) {
        int s = getStatus();
        if (s < 0) {
            break;
        }
        last = s;
    }
    char text[256];
    if (last >= 0) {
        statusMeaning("", last, text, sizeof text);
    } else {
        statusMeaning("no new report; the camera last reported ", storedStatus(), text, sizeof text);
    }
    step("getStatus", last, text);
    return true;
}

void released(int r)
{
    step("unselect", r, "camera powered off and released; the log is closed");
}

} // namespace

int runSession()
{
    int rc = connect(true);
    if (rc != kExitOk) {
        printLogPlace();
        return rc;
    }
    bool ok = readStatus();
    ok = toggled("toggleLight", toggleLight()) && ok;
    ok = toggled("toggleZoom", toggleZoom()) && ok;
    ok = fixedCode("freeze", cameraFreeze()) && ok;
    ok = fixedCode("unfreeze", cameraUnfreeze()) && ok;
    ok = fixedCode("save", cameraSave()) && ok;
    ok = resumed(resume()) && ok;
    released(unselect());
    printLogPlace();
    return ok ? kExitOk : kExitFailed;
}

int runCommand(const char *name)
{
    static const char *const kCommands[] = {"status", "light",  "zoom",   "freeze",
                                            "unfreeze", "save", "resume", "release"};
    bool known = false;
    for (const char *c : kCommands) {
        known = known || std::strcmp(c, name) == 0;
    }
    if (!known) {
        return -1;
    }
    bool release = std::strcmp(name, "release") == 0;
    int rc = connect(!release);
    if (rc != kExitOk) {
        return rc;
    }
    bool ok = true;
    // The toggles and resume work from the last status read: read what the camera has queued
    // first, so that they act on its present state and not on a backlog.
    if (!release && std::strcmp(name, "status") != 0) {
        readStatus();
    }
    if (release) {
        released(unselect());
    } else if (std::strcmp(name, "status") == 0) {
        ok = readStatus();
    } else if (std::strcmp(name, "light") == 0) {
        ok = toggled("toggleLight", toggleLight());
    } else if (std::strcmp(name, "zoom") == 0) {
        ok = toggled("toggleZoom", toggleZoom());
    } else if (std::strcmp(name, "freeze") == 0) {
        ok = fixedCode("freeze", cameraFreeze());
    } else if (std::strcmp(name, "unfreeze") == 0) {
        ok = fixedCode("unfreeze", cameraUnfreeze());
    } else if (std::strcmp(name, "save") == 0) {
        ok = fixedCode("save", cameraSave());
    } else {
        ok = resumed(resume());
    }
    return ok ? kExitOk : kExitFailed;
}
