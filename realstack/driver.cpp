// realstack-driver: the host's session through libNembrel.so's exports, on the real hidapi
// (hidraw backend) and the real kernel HID stack, against virtual-camera on /dev/uhid.
//
//   realstack-driver CASE --camera PATH
//
// Runs in the directory where the library writes HIDWrapperJ.log (the library opens it when it
// is loaded, so the caller changes into a fresh directory first). It starts virtual-camera as a
// child, waits for its hidraw node, runs the case, stops the camera, and checks the results of
// the exports, the reports that the camera received and the lines of the log. It prints one
// "ok"/"FAIL" line per check, the log and the camera's record, and last one line
// "REALSTACK PASS <case>" or "REALSTACK FAIL <case>".
//
// Cases: panasonic, somia (the whole session), somia-notice and somia-notice7 (the Somia save
// notice of 7 bytes, dropped by the kernel / let through by a 7-byte input report declared),
// unplug-open (Panasonic, unplugged between selectDevice and openDevice), unplug-commands
// (Somia, unplugged as the light command arrives).
#include <hidapi.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Nembrel.h"

// The JNI-only exports; they ignore their JNIEnv and object, so null is fine.
extern "C" {
int64_t Java_rizever_1client_1imaging_cam_HIDWrapperW_freeze(void *, void *);
int64_t Java_rizever_1client_1imaging_cam_HIDWrapperW_unfreeze(void *, void *);
int64_t Java_rizever_1client_1imaging_cam_HIDWrapperW_save(void *, void *);
int64_t Java_rizever_1client_1imaging_cam_HIDWrapperW_unloadHID(void *, void *);
}

namespace {

using Lines = std::vector<std::string>;

int failures = 0;

__attribute__((format(printf, 2, 3))) void check(bool ok, const char *format, ...)
{
    char text[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    printf("  %s %s\n", ok ? "ok  " : "FAIL", text);
    fflush(stdout);
    if (!ok) {
        ++failures;
    }
}

void expectEq(long long got, long long want, const char *what)
{
    check(got == want, "%s = %lld%s", what, got, got == want ? "" : (" (expected " + std::to_string(want) + ")").c_str());
}

void sleepMs(long ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

double now()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

Lines readLines(const std::string &path)
{
    Lines lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// The log's texts without the time stamps ("Fri Dec 11 15:47:30 2026" and a tab).
Lines logTexts()
{
    Lines texts;
    for (const std::string &line : readLines("HIDWrapperJ.log")) {
        size_t tab = line.find('\t');
        texts.push_back(tab == 24 ? line.substr(25) : line);
    }
    return texts;
}

// An expected line that ends in '*' matches any line that starts with the text before it.
bool lineMatches(const std::string &got, const std::string &want)
{
    if (!want.empty() && want.back() == '*') {
        return got.compare(0, want.size() - 1, want, 0, want.size() - 1) == 0;
    }
    return got == want;
}

void expectLines(const Lines &got, const Lines &want, const char *what)
{
    size_t n = got.size() > want.size() ? got.size() : want.size();
    bool same = got.size() == want.size();
    for (size_t i = 0; same && i < n; ++i) {
        same = lineMatches(got[i], want[i]);
    }
    check(same, "%s: %zu lines as expected", what, want.size());
    if (same) {
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        const char *g = i < got.size() ? got[i].c_str() : "(none)";
        const char *w = i < want.size() ? want[i].c_str() : "(none)";
        bool m = i < got.size() && i < want.size() && lineMatches(got[i], want[i]);
        printf("    %s %3zu got  [%s]\n", m ? " " : "!", i, g);
        if (!m) {
            printf("    %s %3zu want [%s]\n", "!", i, w);
        }
    }
}

std::string report(int command, size_t length = 2)
{
    std::string s = "write " + std::to_string(length);
    char hex[4];
    for (size_t i = 0; i < length; ++i) {
        snprintf(hex, sizeof hex, " %02x", i == 1 ? command : 0);
        s += hex;
    }
    return s;
}

struct Camera {
    pid_t pid = -1;
    std::string record = "camera.rec";

    void start(const std::string &binary, const char *model, const Lines &extra)
    {
        std::vector<std::string> args = {binary, "--model", model, "--record", record};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char *> argv;
        for (std::string &a : args) {
            argv.push_back(&a[0]);
        }
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            execv(binary.c_str(), argv.data());
            perror("exec virtual-camera");
            _exit(127);
        }
    }
    // Unplugs it (SIGTERM: UHID_DESTROY) if it still runs, and reaps it.
    bool stop()
    {
        if (pid <= 0) {
            return true;
        }
        kill(pid, SIGTERM);
        for (int i = 0; i < 300; ++i) {
            int st = 0;
            if (waitpid(pid, &st, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(st) && WEXITSTATUS(st) == 0;
            }
            sleepMs(10);
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
        return false;
    }
    Lines writes() const
    {
        Lines w;
        for (const std::string &l : readLines(record)) {
            if (l.compare(0, 6, "write ") == 0) {
                w.push_back(l);
            }
        }
        return w;
    }
};

std::string narrow(const wchar_t *w)
{
    if (w == nullptr) {
        return "(null)";
    }
    std::string s;
    for (; *w != 0; ++w) {
        s += *w < 128 ? static_cast<char>(*w) : '?';
    }
    return s;
}

// Waits until hidapi lists the camera (present) or no longer does (!present); gives its path.
std::string waitForCamera(unsigned short vid, unsigned short pid, bool present, bool describe)
{
    double deadline = now() + 10;
    std::string path;
    for (;;) {
        hid_device_info *list = hid_enumerate(vid, pid);
        path = list != nullptr && list->path != nullptr ? list->path : "";
        if (list != nullptr && describe) {
            for (hid_device_info *d = list; d != nullptr; d = d->next) {
                printf("  hidapi: path=%s vendor=0x%04x product=0x%04x usage_page=0x%04x usage=0x%04x "
                       "bus_type=%d interface=%d manufacturer=\"%s\" product=\"%s\" serial=\"%s\"\n",
                       d->path, d->vendor_id, d->product_id, d->usage_page, d->usage, static_cast<int>(d->bus_type),
                       d->interface_number, narrow(d->manufacturer_string).c_str(),
                       narrow(d->product_string).c_str(), narrow(d->serial_number).c_str());
            }
            check(list->next == nullptr, "one hidapi entry for the camera");
            check(list->usage_page == 0xFF00 && list->usage == 0x0001,
                  "usage page 0x%04x, usage 0x%04x from the report descriptor", list->usage_page, list->usage);
        }
        hid_free_enumeration(list);
        bool gone = path.empty();
        if (present != gone) {
            return path;
        }
        if (now() > deadline) {
            check(false, "camera %s within 10 s", present ? "appeared" : "disappeared");
            return path;
        }
        sleepMs(20);
    }
}

void jni(const char *name, int64_t (*fn)(void *, void *), long long want)
{
    expectEq(fn(nullptr, nullptr), want, name);
}

#define FREEZE Java_rizever_1client_1imaging_cam_HIDWrapperW_freeze
#define UNFREEZE Java_rizever_1client_1imaging_cam_HIDWrapperW_unfreeze
#define SAVE Java_rizever_1client_1imaging_cam_HIDWrapperW_save

Lines discoveryLines(bool panasonic)
{
    Lines l = {"------ INIT ------------------------ INIT -------", "CHIDWrapperJ: Init() ...",
               "libNembrel: version 1.1 20200409", "libNembrel: MacOS *", "..enumerating..."};
    if (panasonic) {
        // uhid has no USB device behind it: hidapi gives an empty manufacturer text.
        l.insert(l.end(), {"Found Panasonic camera", ""});
    } else {
        l.push_back("Found Somia camera");
    }
    l.push_back("Panasonic/Somia Order number  1.");
    return l;
}

Lines operator+(Lines a, const Lines &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void runSession(const std::string &casename, const std::string &cameraBinary)
{
    bool panasonic = casename == "panasonic" || casename == "unplug-open";
    unsigned short vid = panasonic ? 0x04DA : 0x301C;
    unsigned short pid = panasonic ? 0x091A : 0xDA11;
    Lines extra;
    if (casename == "unplug-commands") {
        extra = {"--unplug-after", "2"};
    } else if (casename == "somia-notice7") {
        extra = {"--descriptor-input", "7"};
    }

    Camera cam;
    cam.start(cameraBinary, panasonic ? "panasonic" : "somia", extra);
    std::string path = waitForCamera(vid, pid, true, true);
    std::string devPath = "dev path= " + path;

    expectEq(init(), panasonic ? 1 : 1001, "init()");
    double t0 = now();
    expectEq(selectDevice(), 1, "selectDevice()");
    Lines want = discoveryLines(panasonic);
    Lines camWrites;
    char serial[16] = "";
    // The host's calls after selecting, as both whole-session cases make them.
    auto hostSession = [&] {
        expectEq(openDevice(), 1, "openDevice()");
        expectEq(toggleLight(), 2, "toggleLight()");
        expectEq(toggleZoom(), 2, "toggleZoom()");
        jni("freeze", FREEZE, 0);
        jni("unfreeze", UNFREEZE, 0);
        jni("save", SAVE, 0);
        // resume reads the oldest answer at once: give the camera's answers time to arrive, as
        // a host's user would between two clicks, so that a slow guest does not miss them.
        usleep(300000);
        expectEq(resume(), 1, "resume()");
        expectEq(getSerialNumber(serial, sizeof serial), 1, "getSerialNumber()");
        expectEq(unselect(), 0, "unselect()");
        expectEq(unselect(), 0, "unselect() again");
    };

    if (casename == "panasonic") {
        hostSession();
        want = want + Lines{
            "CHIDWrapperJ::selHIDDevice() entry", devPath, "    Connected to HID port.",
            "CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry", " Panasonic camera",
            "Write 'Power on'", "(debug) Written. Read status ...", "POWER on written.",
            "  setPowerOn() - Read status", "  setPowerOn() - Buffer read.", "  getStatus()    #status bytes: 64",
            "  getStatus()    ... Status byte from camera= 0x01", "setPowerOn() - NewStatus : 0x01",
            "  setPowerOn() - Buffer read.", "  setPowerOn() - Could not read HID status!",
            " -  Set extended mode on", "setExtended()  ... ", "setExtended()  ... Write 'Extended Mode' 0x13.",
            "  setExtended()  ... Write OK... Read status...", "  getStatus()    #status bytes: 64",
            "  getStatus()    ... Status byte from camera= 0x13", "setExtended() - newStatus : 0x13",
            "toggleLight()  ... ", "  statusLight()  ... Light is ON",
            "  toggleLight()  ... Write Light off (0x03). Curr Status = 0x13", "  toggleLight()  ... Read status",
            "  getStatus()    #status bytes: 64", "  getStatus()    ... Status byte from camera= 0x03",
            "toggleLight()  - New status : 0x03", "  toggleZoom() ...",
            "...  Write Zoom on (0x07).  Curr Status = 0x03", "  getStatus()    #status bytes: 64",
            "  getStatus()    ... Status byte from camera= 0x07", "toggleZoom() - New status : 0x07",
            "setFreeze   ...", "setUnfreeze   ...", "setSave   ...", "  getStatus()    #status bytes: 64",
            "  getStatus()    ... Status byte from camera= 0x0f", "  getSerialNumber ...", "  OK",
            "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
            "  getStatus()    #status bytes: 64", "  getStatus()    ... Status byte from camera= 0x07", devPath,
            "  unselectHIDDevice()... HID_write", "  unselectHIDDevice()... hid_close_PM",
            "  unselectHIDDevice() end", "Close logfile."};
        camWrites = {report(0x01), report(0x13), report(0x03), report(0x07), report(0x04),
                     report(0x08), report(0x40), report(0x0F), report(0x02)};
    } else if (casename == "somia") {
        hostSession();
        want = want + Lines{
            "CHIDWrapperJ::selHIDDevice() entry", devPath, "    Connected to HID port.",
            "CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry", " Somia camera",
            "Write 'Power on'", "(debug) Written. Read status ...", "POWER on written.", "toggleLight()  ... ",
            "  statusLight()  ... Light is OFF", "  toggleLight()  ... Write Light On (0x10). Curr Status = 0x00",
            "  toggleLight()  ... Read status", "  getStatus()    #status bytes: 16",
            "  getStatus()    ... Status byte from camera= 0x00", "toggleLight()  - New status : 0x00",
            "  toggleZoom() ...", "...  Write Zoom on (0x04).  Curr Status = 0x00",
            "  getStatus()    #status bytes: 16", "  getStatus()    ... Status byte from camera= 0x01",
            "toggleZoom() - New status : 0x01", "setFreeze   ...", "setUnfreeze   ...", "setSave   ...",
            "  getStatus()    #status bytes: 16", "  getStatus()    ... Status byte from camera= 0x11",
            "  getSerialNumber ...", "  OK", "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
            "  getStatus()    #status bytes: 16", "  getStatus()    ... Status byte from camera= 0x19", devPath,
            "  unselectHIDDevice()... HID_write", "  unselectHIDDevice()... hid_close_PM",
            "  unselectHIDDevice() end", "Close logfile."};
        camWrites = {report(0x01, 16), report(0x10), report(0x04), report(0x04), report(0x08),
                     report(0x40), report(0x09), report(0x02, 14)};
    } else if (casename == "somia-notice" || casename == "somia-notice7") {
        // Power on queues 0x00 and 0x01 (not drained for Somia); save queues the 7-byte notice
        // and the status 0x01. With the 16-byte input report of the descriptor the kernel drops
        // the notice ("Event data for report 0 was too short (16 vs 7)"); with a 7-byte input
        // report declared (somia-notice7) it reaches the library, which rejects it with no line.
        bool notice = casename == "somia-notice7";
        expectEq(openDevice(), 1, "openDevice()");
        jni("save", SAVE, 0);
        sleepMs(300);
        expectEq(getStatus(), 0x00, "getStatus() (power-on backlog)");
        expectEq(getStatus(), 0x01, "getStatus() (power-on backlog)");
        if (notice) {
            expectEq(getStatus(), -1, "getStatus() (the 7-byte notice, rejected)");
        }
        expectEq(getStatus(), 0x01, "getStatus() (status after save)");
        expectEq(getStatus(), -1, "getStatus() (nothing queued)");
        expectEq(unselect(), 0, "unselect()");
        want = want + Lines{
            "CHIDWrapperJ::selHIDDevice() entry", devPath, "    Connected to HID port.",
            "CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry", " Somia camera",
            "Write 'Power on'", "(debug) Written. Read status ...", "POWER on written.", "setSave   ...",
            "  getStatus()    #status bytes: 16", "  getStatus()    ... Status byte from camera= 0x00",
            "  getStatus()    #status bytes: 16", "  getStatus()    ... Status byte from camera= 0x01",
            "  getStatus()    #status bytes: 16", "  getStatus()    ... Status byte from camera= 0x01",
            "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources", devPath,
            "  unselectHIDDevice()... HID_write", "  unselectHIDDevice()... hid_close_PM",
            "  unselectHIDDevice() end", "Close logfile."};
        camWrites = {report(0x01, 16), report(0x40), report(0x02, 14)};
    } else if (casename == "unplug-open") {
        // The camera is pulled out between selectDevice and openDevice.
        check(cam.stop(), "virtual camera destroyed itself on SIGTERM");
        waitForCamera(vid, pid, false, false);
        check(access(path.c_str(), F_OK) != 0, "%s is gone", path.c_str());
        // No camera is open at the end, so openDevice gives its failure value 0 (the
        // simulated-camera tests expect the same).
        expectEq(openDevice(), 0, "openDevice()");
        expectEq(toggleLight(), 0, "toggleLight()");
        expectEq(toggleZoom(), 0, "toggleZoom()");
        jni("freeze", FREEZE, 0);
        jni("unfreeze", UNFREEZE, 0);
        jni("save", SAVE, 0);
        expectEq(resume(), 0, "resume()");
        expectEq(getStatus(), -1, "getStatus()");
        expectEq(getSerialNumber(serial, sizeof serial), 1, "getSerialNumber()");
        expectEq(unselect(), 0, "unselect()");
        want = want + Lines{
            "CHIDWrapperJ::selHIDDevice() entry", devPath, "    Connected to HID port.",
            "CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry", " Panasonic camera",
            "Write 'Power on'", "(debug) Written. Read status ...", "  setPowerOn()   ... Write FAILED!",
            "unable to open device", "", " -  Set extended mode on", "setExtended()  ... ",
            "setExtended() - Device not connected", "toggleLight()  ... ", "  toggleZoom() ...", "setFreeze   ...",
            "setUnfreeze   ...", "setSave   ...", "  getStatus()   - device NOT connected!",
            "  getStatus()   - device NOT connected!", "  getSerialNumber ...", "  OK",
            "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
            "  getStatus()   - device NOT connected!",
            "  unselectHIDDevice()... device not connected(?). Device NOT released.", "Close logfile."};
        camWrites = {};
    } else if (casename == "unplug-commands") {
        // The camera answers power on, then is pulled out as the light command arrives.
        expectEq(openDevice(), 1, "openDevice()");
        expectEq(toggleLight(), 2, "toggleLight()");
        expectEq(toggleZoom(), 0, "toggleZoom()");
        jni("freeze", FREEZE, 1);
        jni("unfreeze", UNFREEZE, 1);
        jni("save", SAVE, 1);
        expectEq(resume(), 1, "resume()");
        expectEq(getStatus(), -1, "getStatus()");
        expectEq(unselect(), 0, "unselect()");
        expectEq(selectDevice(), 0, "selectDevice() after the release");
        want = want + Lines{
            "CHIDWrapperJ::selHIDDevice() entry", devPath, "    Connected to HID port.",
            "CHIDWrapperJ::openDevice() -  Set power on", "CHIDWrapperJ::setPowerOn()  entry", " Somia camera",
            "Write 'Power on'", "(debug) Written. Read status ...", "POWER on written.", "toggleLight()  ... ",
            "  statusLight()  ... Light is OFF", "  toggleLight()  ... Write Light On (0x10). Curr Status = 0x00",
            "  toggleLight()  ... Read status", "toggleLight() - Could not read HID status!", "  toggleZoom() ...",
            "...  Write Zoom on (0x04).  Curr Status = 0x00", "  Write FAILED! Error reported was: *",
            "setFreeze   ...", " - FAILED", "setUnfreeze   ...", " - FAILED", "setSave   ...", " - FAILED",
            "  resume() ... Write FAILED! Error reported was: *", "",
            "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources", devPath,
            "  unselectHIDDevice()... HID_write", "  Write FAILED (Power Off)! Error reported was: *",
            "  unselectHIDDevice()... hid_close_PM", "  unselectHIDDevice() end", "Close logfile."};
        camWrites = {report(0x01, 16), report(0x10)};
    }
    printf("  session took %.1f s\n", now() - t0);

    bool stopped = cam.stop();
    if (casename != "unplug-open") {
        check(stopped, "virtual camera ended cleanly");
    }
    expectLines(cam.writes(), camWrites, "reports the camera received");
    Lines log = logTexts();
    expectLines(log, want, "log lines");

    for (const std::string &l : readLines("HIDWrapperJ.log")) {
        printf("log| %s\n", l.c_str());
    }
    for (const std::string &l : readLines(cam.record)) {
        printf("camera| %s\n", l.c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4 || strcmp(argv[2], "--camera") != 0) {
        fprintf(stderr, "usage: realstack-driver CASE --camera PATH\n");
        return 2;
    }
    std::string casename = argv[1];
    const char *known[] = {"panasonic", "somia", "somia-notice", "somia-notice7", "unplug-open", "unplug-commands"};
    bool ok = false;
    for (const char *k : known) {
        ok = ok || casename == k;
    }
    if (!ok) {
        fprintf(stderr, "unknown case %s\n", casename.c_str());
        return 2;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // A hang is a failure too: the whole case must be over in 60 s.
    signal(SIGALRM, [](int) {
        const char msg[] = "  FAIL the case hung (60 s)\nREALSTACK FAIL\n";
        ssize_t r = write(1, msg, sizeof msg - 1);
        (void)r;
        _exit(1);
    });
    alarm(60);
    printf("=== case %s\n", casename.c_str());
    runSession(casename, argv[3]);
    printf("REALSTACK %s %s\n", failures == 0 ? "PASS" : "FAIL", casename.c_str());
    return failures == 0 ? 0 : 1;
}
