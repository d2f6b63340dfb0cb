// The camera controller gHIDWrapper and the library's exports to the Java host.
#include <jni.h>

#include <cstdarg>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "CHIDWrapperJ.h"
#include "LogFileUI.h"
#include "OSVersion.h"

CHIDWrapperJ gHIDWrapper;

namespace {

const char kVersion[] = "version 1.1 20200409";

// Report lengths by command and model; byte 0 is the report ID of an unnumbered report.
constexpr size_t kShortReport = 2;
constexpr size_t kSomiaPowerOnLength = 16;
constexpr size_t kSomiaReleaseLength = 14;
constexpr size_t kSomiaPowerOffLength = 16;

constexpr int kPowerOnAttempts = 5;

// Composes one line in a 1024-byte buffer (longer texts are cut) and logs it.
__attribute__((format(printf, 1, 2))) void logLine(const char *format, ...)
{
    if (!LogFileUI::isOpen()) {
        return;
    }
    char line[1024];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    if (n < 0) {
        line[0] = '\0';
    }
    LogFileUI::print(line);
}

void logText(const char *text) { LogFileUI::print(const_cast<char *>(text)); }

// A wide text as ordinary text in the current locale, "(null)" for none. Characters the
// locale cannot show become '?', so one odd character never loses the whole line.
const char *narrowText(const wchar_t *w, char *out, size_t size)
{
    if (w == nullptr) {
        return "(null)";
    }
    size_t used = 0;
    mbstate_t st;
    memset(&st, 0, sizeof st);
    char mb[MB_LEN_MAX];
    for (; *w != L'\0'; ++w) {
        size_t n = wcrtomb(mb, *w, &st);
        if (n == static_cast<size_t>(-1)) {
            memset(&st, 0, sizeof st);
            mb[0] = '?';
            n = 1;
        }
        if (used + n >= size) {
            break;
        }
        memcpy(out + used, mb, n);
        used += n;
    }
    out[used] = '\0';
    return out;
}

// The error text of a handle, bounded so that the line it ends fits its 1024-byte buffer.
struct ErrorText {
    char text[1024];
    explicit ErrorText(hid_device *dev) { narrow(dev != nullptr ? hid_error(dev) : nullptr); }
    explicit ErrorText(const wchar_t *w) { narrow(w); }
    void narrow(const wchar_t *w) { str = narrowText(w, text, sizeof text); }
    const char *str = nullptr;
};

template <typename Fn>
int guarded(int fallback, Fn fn) noexcept
{
    try {
        return fn();
    } catch (...) {
        return fallback;
    }
}

} // namespace

CHIDWrapperJ::CHIDWrapperJ()
{
    devList = nullptr;
    status = 0;
    powerWasOn = 0;
    lightWasOn = 0;
    extendedWasOn = 0;
    zoomWasOn = 0;
    char scratch[256];
    LogFileUI::init(scratch);
    isSomia = 0;
    isPanasonic = 0;
}

// ---- discovery ---------------------------------------------------------------------------

int CHIDWrapperJ::init()
{
    logText("CHIDWrapperJ: Init() ...");
    logLine("libNembrel: %s", kVersion);
    int major = 0, minor = 0, patch = 0;
    osVersion(&major, &minor, &patch);
    logLine("libNembrel: MacOS %d.%d.%d", major, minor, patch);

    // The chosen entry lives in the list: it goes with it.
    selDevice = nullptr;
    hid_free_enumeration(devList);
    devList = nullptr;
    devList = hid_enumerate(0, 0);
    logText("..enumerating...");
    if (devList == nullptr) {
        logText("No devices (or Could not enumerate devices?)");
        return 0;
    }

    int k = 1;
    int count = 0;
    hid_device_info *match = nullptr;
    for (hid_device_info *d = devList; d != nullptr; d = d->next, ++k) {
        ++count;
        bool usable = d->usage_page >= kMinUsagePage;
        if (d->vendor_id == kSomiaVendor) {
            if (d->product_id == kSomiaProduct && usable) {
                isSomia = 1;
                isPanasonic = 0;
                logText("Found Somia camera");
                match = d;
                break;
            }
        } else if (d->vendor_id == kPanasonicVendor && d->product_id == kPanasonicProduct && usable) {
            isPanasonic = 1;
            isSomia = 0;
            logText("Found Panasonic camera");
            char text[1024];
            logLine("%s", narrowText(d->manufacturer_string, text, sizeof text));
            match = d;
            break;
        }
    }
    if (match == nullptr) {
        logLine("Devices %d but no Panasonic/Somia device!", count);
        return -1;
    }
    selDevice = match;
    logLine("Panasonic/Somia Order number  %d.", k);
    return isSomia ? k + 1000 : k;
}

// ---- status byte -------------------------------------------------------------------------

int CHIDWrapperJ::getStatus()
{
    if (hidDevice == nullptr) {
        logText("  getStatus()   - device NOT connected!");
        return -1;
    }
    unsigned char buf[256];
    int n = hid_read(hidDevice, buf, sizeof buf);
    // The Somia model's 7-byte reports carry no status.
    if (n == 7 && isSomia) {
        return -1;
    }
    if (n <= 0) {
        return -1;
    }
    logLine("  getStatus()    #status bytes: %d", n);
    status = static_cast<short>(buf[0]);
    logLine("  getStatus()    ... Status byte from camera= 0x%02x", buf[0]);
    return buf[0];
}

int CHIDWrapperJ::resetStatus()
{
    status = 0;
    return 1;
}

bool CHIDWrapperJ::statusPower(short s) { return (s & kStatusPower) != 0; }
bool CHIDWrapperJ::statusExtended(short s) { return (s & kStatusExtended) != 0; }
bool CHIDWrapperJ::statusZoom(short s) { return (s & kStatusZoom) != 0; }
bool CHIDWrapperJ::statusFreezed(short s) { return (s & kStatusFreezed) != 0; }

bool CHIDWrapperJ::statusLight(short s)
{
    if ((s & kStatusLight) != 0) {
        logText("  statusLight()  ... Light is ON");
        return true;
    }
    logText("  statusLight()  ... Light is OFF");
    return false;
}

// ---- connection and release --------------------------------------------------------------

int CHIDWrapperJ::selHIDDevice()
{
    logText("CHIDWrapperJ::selHIDDevice() entry");
    if (hidDevice == nullptr) {
        if (selDevice == nullptr || selDevice->path == nullptr) {
            logText("   No camera chosen by init(): could not connect to camera HID port!");
            return 0;
        }
        logLine("dev path= %s", selDevice->path);
        hidDevice = hid_open_path(selDevice->path);
        if (hidDevice == nullptr) {
            logText("   Could not connect to camera HID port!");
            return 0;
        }
    }
    logText("    Connected to HID port.");
    hid_set_nonblocking(hidDevice, 1);
    return 1;
}

int CHIDWrapperJ::openDevice()
{
    logText("CHIDWrapperJ::openDevice() -  Set power on");
    int p = setPowerOn();
    if (isSomia) {
        return hidDevice != nullptr ? 1 : 0;
    }
    logText(" -  Set extended mode on");
    int e = setExtended();
    // With no camera open at the end the bring-up failed, whatever the steps returned.
    if (hidDevice == nullptr) {
        return 0;
    }
    return p >= 0 && e >= 0 ? 1 : 0;
}

int CHIDWrapperJ::setPowerOn()
{
    logText("CHIDWrapperJ::setPowerOn()  entry");
    if (hidDevice == nullptr) {
        logText("setPowerOn() - Device NOT connected");
        return 0;
    }
    if (isPanasonic) {
        logText(" Panasonic camera");
    } else if (isSomia) {
        logText(" Somia camera");
    } else {
        logText(" PROBLEM camera not detected correctly!?");
    }
    powerWasOn = 0;
    if (isPanasonic && (status & kStatusPower) != 0) {
        powerWasOn = 1;
        return 0;
    }

    unsigned char report[16] = {0x00, 0x01};
    size_t length = isSomia ? kSomiaPowerOnLength : kShortReport;
    bool written = false;
    for (int attempt = 0; attempt < kPowerOnAttempts; ++attempt) {
        logText("Write 'Power on'");
        int r = hid_write(hidDevice, report, length);
        logText("(debug) Written. Read status ...");
        if (r >= 0) {
            logText("POWER on written.");
            written = true;
            break;
        }
        logText("  setPowerOn()   ... Write FAILED!");
        hid_close(hidDevice);
        hidDevice = nullptr;
        msleep(2000);
        if (selDevice != nullptr && selDevice->path != nullptr) {
            hidDevice = hid_open_path(selDevice->path);
        }
        if (hidDevice == nullptr) {
            logText("unable to open device\n");
            return 1;
        }
        hid_set_nonblocking(hidDevice, 1);
        msleep(2000);
    }
    msleep(1000);
    if (isSomia) {
        return 0;
    }
    logText("  setPowerOn() - Read status");
    if (!written) {
        return 1;
    }
    unsigned char scratch[16];
    int n;
    do {
        n = hid_read(hidDevice, scratch, sizeof scratch);
        if (n < 0) {
            logText("  setPowerOn() - Unable to read buffer");
        } else {
            msleep(500);
            logText("  setPowerOn() - Buffer read.");
        }
        if (getStatus() == -1) {
            logText("  setPowerOn() - Could not read HID status!");
        } else {
            logLine("setPowerOn() - NewStatus : 0x%02x", static_cast<unsigned>(status));
        }
    } while (n > 0);
    return 1;
}

int CHIDWrapperJ::setExtended()
{
    logText("setExtended()  ... ");
    if ((status & kStatusExtended) != 0) {
        extendedWasOn = 1;
        return 0;
    }
    if (hidDevice == nullptr) {
        logText("setExtended() - Device not connected");
        return 0;
    }
    logText("setExtended()  ... Write 'Extended Mode' 0x13.");
    unsigned char report[2] = {0x00, 0x13};
    if (hid_write(hidDevice, report, sizeof report) < 0) {
        logWriteFailure("  setExtended()  ... Write FAILED! Error reported was: %s");
        return 1;
    }
    msleep(1500);
    logText("  setExtended()  ... Write OK... Read status...");
    if (getStatus() == -1) {
        logText("setExtended() - Could not read HID status!");
    } else {
        logLine("setExtended() - newStatus : 0x%02x", static_cast<unsigned>(status));
    }
    return 1;
}

namespace {

// hid_close inside a guard that catches every exception; the text of a caught one is logged.
void guardedClose(hid_device *dev)
{
    try {
        hid_close(dev);
    } catch (...) {
        // The handle is in an unknown state now: take the library's last error instead of
        // asking the handle that just failed.
        ErrorText err(hid_error(nullptr));
        logLine("  FAILED to close hid_close/close_PM. Error reported was: %s", err.str);
    }
}

const char *pathOrPlaceholder(const hid_device_info *d)
{
    return d != nullptr && d->path != nullptr ? d->path : "(none)";
}

} // namespace

int CHIDWrapperJ::unselectHIDDevice()
{
    logText("CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources");
    getStatus();
    if (hidDevice != nullptr) {
        logLine("dev path= %s", pathOrPlaceholder(selDevice));
        logText("  unselectHIDDevice()... HID_write");
        unsigned char report[14] = {0x00, 0x02};
        int r = hid_write(hidDevice, report, isSomia ? kSomiaReleaseLength : kShortReport);
        msleep(1000);
        if (r < 0) {
            logWriteFailure("  Write FAILED (Power Off)! Error reported was: %s");
        }
        logText("  unselectHIDDevice()... hid_close_PM");
        guardedClose(hidDevice);
        logText("  unselectHIDDevice() end");
        hidDevice = nullptr;
        status = 0;
    } else {
        logText("  unselectHIDDevice()... device not connected(?). Device NOT released.");
    }
    logText("Close logfile.");
    LogFileUI::close(const_cast<char *>(""));
    return 0;
}

int CHIDWrapperJ::unloadHID()
{
    logText("CHIDWrapperJ::unloadHID() entry");
    getStatus();
    guardedClose(hidDevice);
    msleep(500);
    logText("  ... device unloaded");
    hidDevice = nullptr;
    status = 0;
    logText("Close logfile.");
    LogFileUI::close(const_cast<char *>(""));
    return 0;
}

// ---- camera commands ---------------------------------------------------------------------

void CHIDWrapperJ::logWriteFailure(const char *format)
{
    if (!LogFileUI::isOpen()) {
        return;
    }
    ErrorText err(hidDevice);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    logLine(format, err.str);
#pragma GCC diagnostic pop
}

int CHIDWrapperJ::getSerialNumber(char *dst, int n)
{
    logText("  getSerialNumber ...");
    if (dst != nullptr && n > 0) {
        size_t len = strnlen(serialNumber, sizeof serialNumber);
        if (len > 0) {
            // The JNI export hands dst to NewStringUTF: keep it terminated within n bytes.
            size_t copy = len < static_cast<size_t>(n) ? len : static_cast<size_t>(n) - 1;
            memcpy(dst, serialNumber, copy);
            dst[copy] = '\0';
        }
    }
    logText("  OK");
    return 1;
}

int CHIDWrapperJ::toggleLight()
{
    logText("toggleLight()  ... ");
    if (hidDevice == nullptr) {
        return 0;
    }
    unsigned s = static_cast<unsigned>(status) & 0xFF;
    bool on = statusLight(status);
    lightWasOn = on ? 1 : 0;
    unsigned char b;
    if (on) {
        b = static_cast<unsigned char>(s & 0x0F);
        logLine("  toggleLight()  ... Write Light off (0x%02X). Curr Status = 0x%02x", b, s);
    } else {
        b = static_cast<unsigned char>(s | 0x10);
        logLine("  toggleLight()  ... Write Light On (0x%02X). Curr Status = 0x%02x", b, s);
    }
    unsigned char report[2] = {0x00, b};
    int r = hid_write(hidDevice, report, sizeof report);
    if (r < 0) {
        logWriteFailure("  Write FAILED! Error reported was: %s");
        return 0;
    }
    logText("  toggleLight()  ... Read status");
    msleep(1000);
    if (getStatus() == -1) {
        logText("toggleLight() - Could not read HID status!");
    } else {
        logLine("toggleLight()  - New status : 0x%02x", static_cast<unsigned>(status));
    }
    return r;
}

int CHIDWrapperJ::toggleZoom()
{
    logText("  toggleZoom() ...");
    if (hidDevice == nullptr) {
        return 0;
    }
    unsigned s = static_cast<unsigned>(status) & 0xFF;
    bool on = (s & kStatusZoom) != 0;
    zoomWasOn = on ? 1 : 0;
    unsigned char b;
    if (on) {
        b = static_cast<unsigned char>(s & 0x1B);
        logLine("...  Write Zoom off (0x%02x). Curr Status = 0x%02x", b, s);
    } else {
        b = static_cast<unsigned char>(s | 0x04);
        logLine("...  Write Zoom on (0x%02x).  Curr Status = 0x%02x", b, s);
    }
    unsigned char report[2] = {0x00, b};
    int r = hid_write(hidDevice, report, sizeof report);
    if (r < 0) {
        logWriteFailure("  Write FAILED! Error reported was: %s");
        return 0;
    }
    msleep(800);
    if (getStatus() == -1) {
        logText("toggleZoom() - Could not read HID status!");
    } else {
        logLine("toggleZoom() - New status : 0x%02x", static_cast<unsigned>(status));
    }
    return r;
}

int CHIDWrapperJ::resume()
{
    if (hidDevice == nullptr) {
        return 0;
    }
    unsigned char report[2] = {0x00, static_cast<unsigned char>((status & 0xFF) | kStatusFreezed)};
    if (hid_write(hidDevice, report, sizeof report) < 0) {
        logWriteFailure("  resume() ... Write FAILED! Error reported was: %s\r\n");
    }
    return 1;
}

int CHIDWrapperJ::writeFixedCode(const char *entryLine, unsigned char code)
{
    logText(entryLine);
    if (hidDevice == nullptr) {
        return 0;
    }
    unsigned char report[2] = {0x00, code};
    if (hid_write(hidDevice, report, sizeof report) < 0) {
        logText(" - FAILED");
        return 1;
    }
    return 0;
}

int CHIDWrapperJ::setFreeze() { return writeFixedCode("setFreeze   ...", 0x04); }
int CHIDWrapperJ::setUnfreeze() { return writeFixedCode("setUnfreeze   ...", 0x08); }
int CHIDWrapperJ::setSave() { return writeFixedCode("setSave   ...", 0x40); }

int CHIDWrapperJ::setPowerOff()
{
    logText("setPowerOff()   ...");
    if (hidDevice == nullptr) {
        return 0;
    }
    unsigned char report[16] = {0x00, static_cast<unsigned char>(isSomia ? 0x02 : 0x00)};
    if (hid_write(hidDevice, report, isSomia ? kSomiaPowerOffLength : kShortReport) < 0) {
        logText("setPowerOff(): - write FAILED");
        return 1;
    }
    return 0;
}

// ---- exports -----------------------------------------------------------------------------
// No exception leaves the library: a stand-in for hidapi that throws meets the guard here.

#define NEMBREL_JNI(name) Java_rizever_1client_1imaging_cam_HIDWrapperW_##name

extern "C" {

static int resumeAndRead()
{
    int r = gHIDWrapper.resume();
    gHIDWrapper.getStatus();
    return r;
}

JNIEXPORT jlong JNICALL NEMBREL_JNI(init)(JNIEnv *, jobject)
{
    return guarded(0, [] { return gHIDWrapper.init(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(selectDevice)(JNIEnv *, jobject)
{
    return guarded(0, [] { return gHIDWrapper.selHIDDevice(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(openDevice)(JNIEnv *, jobject)
{
    return guarded(0, [] { return gHIDWrapper.openDevice(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(setExtended)(JNIEnv *, jobject)
{
    return guarded(1, [] { return gHIDWrapper.setExtended(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(unselect)(JNIEnv *, jobject)
{
    guarded(0, [] { return gHIDWrapper.unselectHIDDevice(); });
    return 0;
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(unloadHID)(JNIEnv *, jobject)
{
    guarded(0, [] { return gHIDWrapper.unloadHID(); });
    return 0;
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(getStatus)(JNIEnv *, jobject)
{
    return guarded(-1, [] { return gHIDWrapper.getStatus(); });
}
JNIEXPORT jstring JNICALL NEMBREL_JNI(getSerialNumber)(JNIEnv *env, jobject)
{
    char buffer[1024];
    buffer[0] = '\0';
    guarded(1, [&] { return gHIDWrapper.getSerialNumber(buffer, sizeof buffer); });
    if (env == nullptr) {
        return nullptr;
    }
    return env->NewStringUTF(buffer);
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(resume)(JNIEnv *, jobject)
{
    return guarded(0, resumeAndRead);
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(toggleLight)(JNIEnv *, jobject)
{
    return guarded(0, [] { return gHIDWrapper.toggleLight(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(toggleZoom)(JNIEnv *, jobject)
{
    return guarded(0, [] { return gHIDWrapper.toggleZoom(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(freeze)(JNIEnv *, jobject)
{
    return guarded(1, [] { return gHIDWrapper.setFreeze(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(unfreeze)(JNIEnv *, jobject)
{
    return guarded(1, [] { return gHIDWrapper.setUnfreeze(); });
}
JNIEXPORT jlong JNICALL NEMBREL_JNI(save)(JNIEnv *, jobject)
{
    return guarded(1, [] { return gHIDWrapper.setSave(); });
}

NEMBREL_API int init() { return guarded(0, [] { return gHIDWrapper.init(); }); }
NEMBREL_API int selectDevice() { return guarded(0, [] { return gHIDWrapper.selHIDDevice(); }); }
NEMBREL_API int openDevice() { return guarded(0, [] { return gHIDWrapper.openDevice(); }); }
NEMBREL_API int setExtended() { return guarded(1, [] { return gHIDWrapper.setExtended(); }); }
NEMBREL_API int unselect()
{
    guarded(0, [] { return gHIDWrapper.unselectHIDDevice(); });
    return 0;
}
NEMBREL_API int getStatus() { return guarded(-1, [] { return gHIDWrapper.getStatus(); }); }
NEMBREL_API int getSerialNumber(char *dst, int n)
{
    guarded(1, [&] { return gHIDWrapper.getSerialNumber(dst, n); });
    return 1;
}
NEMBREL_API int resume() { return guarded(0, resumeAndRead); }
NEMBREL_API int toggleLight() { return guarded(0, [] { return gHIDWrapper.toggleLight(); }); }
NEMBREL_API int toggleZoom() { return guarded(0, [] { return gHIDWrapper.toggleZoom(); }); }

} // extern "C"
