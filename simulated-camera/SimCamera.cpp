#include "SimCamera.h"

#include <hidapi.h>

#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#define SIMCAM_API extern "C" __attribute__((visibility("default")))

struct hid_device_ {
    std::string path;
    simcam_model model = SIMCAM_NONE;
    bool nonblocking = false;
};

namespace {

struct Entry {
    unsigned short vendor;
    unsigned short product;
    unsigned short usagePage;
    bool hasManufacturer;
    std::wstring manufacturer;
    std::string path;
};

struct Report {
    std::vector<unsigned char> bytes;
};

struct Pause {
    unsigned long long ns;
};

struct Sim {
    std::mutex mu;
    bool configured = false;
    std::vector<Entry> entries;
    bool failEnumerate = false;
    int failOpens = 0, failWrites = 0, failReads = 0, closeThrows = 0;
    bool unplugged = false;
    int unplugCountdown = 0;
    bool errorOverride = false;
    bool errorNull = false;
    std::wstring errorText = L"Success";
    bool answers = true;
    unsigned char state = 0;
    size_t reportLength = 0;
    std::deque<Report> queue;
    int saves = 0;
    std::vector<std::vector<unsigned char>> writes;
    std::vector<Pause> pauses;
    unsigned long long clockNs = 0;
    int opens = 0, closes = 0, handles = 0;
    int lastNonblocking = 0;
    simcam_model openModel = SIMCAM_NONE;
    std::vector<hid_device *> graveyard; // handles whose close threw: never freed twice
    FILE *record = nullptr;
    bool realSleep = false;
};

Sim &sim()
{
    static Sim *s = new Sim; // never destroyed: hidapi calls may come during exit
    return *s;
}

bool consume(int &count)
{
    if (count == 0) {
        return false;
    }
    if (count > 0) {
        --count;
    }
    return true;
}

void setError(Sim &s, const wchar_t *text)
{
    if (!s.errorOverride) {
        s.errorText = text;
    }
}

simcam_model modelOf(unsigned short vendor, unsigned short product)
{
    if (vendor == 0x04DA && product == 0x091A) {
        return SIMCAM_PANASONIC;
    }
    if (vendor == 0x301C && product == 0xDA11) {
        return SIMCAM_SOMIA;
    }
    return SIMCAM_NONE;
}

int addDevice(Sim &s, unsigned short vendor, unsigned short product, unsigned short usagePage,
              const wchar_t *manufacturer, const char *path)
{
    Entry e{vendor, product, usagePage, manufacturer != nullptr,
            manufacturer != nullptr ? manufacturer : L"", ""};
    if (path != nullptr) {
        e.path = path;
    } else {
        e.path = "/dev/hidraw" + std::to_string(s.entries.size());
    }
    s.entries.push_back(e);
    return static_cast<int>(s.entries.size());
}

int addCamera(Sim &s, simcam_model model, unsigned short usagePage)
{
    if (model == SIMCAM_PANASONIC) {
        return addDevice(s, 0x04DA, 0x091A, usagePage, L"Panasonic", nullptr);
    }
    return addDevice(s, 0x301C, 0xDA11, usagePage, nullptr, nullptr);
}

// The environment's set-up, for processes that cannot call the control functions (a JVM).
void configureFromEnvironment(Sim &s)
{
    if (s.configured) {
        return;
    }
    s.configured = true;
    const char *real = getenv("SIMCAM_REAL_SLEEP");
    s.realSleep = real != nullptr && strcmp(real, "1") == 0;
    const char *rec = getenv("SIMCAM_RECORD");
    if (rec != nullptr && *rec != '\0') {
        s.record = fopen(rec, "a");
    }
    const char *which = getenv("SIMCAM");
    std::string w = which != nullptr ? which : "panasonic";
    addDevice(s, 0x046D, 0xC52B, 1, L"Logitech", nullptr); // a keyboard receiver passed over
    if (w == "panasonic" || w == "both") {
        addCamera(s, SIMCAM_PANASONIC, 0xFF00);
    }
    if (w == "somia" || w == "both") {
        addCamera(s, SIMCAM_SOMIA, 0xFF00);
    }
    if (w == "none") {
        s.entries.clear();
    }
}

Sim &ready()
{
    Sim &s = sim();
    configureFromEnvironment(s);
    return s;
}

// Called with the lock held, before every call that touches a device.
void tick(Sim &s)
{
    if (s.unplugCountdown > 0 && --s.unplugCountdown == 0) {
        s.unplugged = true;
        s.state = 0;
        s.queue.clear();
    }
}

size_t reportLength(const Sim &s, simcam_model m)
{
    if (s.reportLength != 0) {
        return s.reportLength;
    }
    return m == SIMCAM_SOMIA ? 16 : 64;
}

void queueStatus(Sim &s, simcam_model m, unsigned char st)
{
    Report r;
    r.bytes.assign(reportLength(s, m), 0);
    r.bytes[0] = st;
    s.queue.push_back(r);
}

void camera(Sim &s, simcam_model m, const unsigned char *data, size_t length)
{
    if (length < 2) {
        return; // the report ID alone carries no command
    }
    unsigned char c = data[1];
    bool powered = (s.state & 0x01) != 0;
    unsigned char before = s.state;
    switch (c) {
    case 0x01:
        s.state |= 0x01;
        if (s.answers) {
            queueStatus(s, m, before);
        }
        break;
    case 0x13:
        s.state |= 0x13;
        break;
    case 0x00:
    case 0x02:
        if (!powered) {
            return;
        }
        s.state = 0;
        break;
    default:
        if (!powered) {
            return;
        }
        if (c == 0x04) {
            s.state |= 0x08;
        } else if (c == 0x08) {
            s.state &= static_cast<unsigned char>(~0x08);
        } else if (c == 0x40) {
            ++s.saves;
            if (m == SIMCAM_SOMIA && s.answers) {
                Report notice;
                notice.bytes.assign(7, 0);
                notice.bytes[0] = 0xA5;
                s.queue.push_back(notice);
            }
        } else {
            s.state = static_cast<unsigned char>((c & 0x1E) | (s.state & 0x01));
        }
        break;
    }
    if (s.answers) {
        queueStatus(s, m, s.state);
    }
}

void recordLine(Sim &s, const std::string &line)
{
    if (s.record != nullptr) {
        fprintf(s.record, "%s\n", line.c_str());
        fflush(s.record);
    }
}

bool calledFromCameraLibrary(void *caller)
{
    Dl_info info;
    if (caller == nullptr || dladdr(caller, &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    const char *base = strrchr(info.dli_fname, '/');
    base = base != nullptr ? base + 1 : info.dli_fname;
    return strncmp(base, "libNembrel", 10) == 0;
}

using NanosleepFn = int (*)(const struct timespec *, struct timespec *);

} // namespace

// ---- hidapi ------------------------------------------------------------------------------

SIMCAM_API int hid_init(void) { return 0; }
SIMCAM_API int hid_exit(void) { return 0; }

SIMCAM_API struct hid_device_info *hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    Sim &s = ready();
    std::lock_guard<std::mutex> g(s.mu);
    if (s.failEnumerate) {
        return nullptr;
    }
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    for (const Entry &e : s.entries) {
        if ((vendor_id != 0 && e.vendor != vendor_id) || (product_id != 0 && e.product != product_id)) {
            continue;
        }
        if (s.unplugged && modelOf(e.vendor, e.product) != SIMCAM_NONE) {
            continue;
        }
        auto *d = static_cast<hid_device_info *>(calloc(1, sizeof(hid_device_info)));
        d->path = strdup(e.path.c_str());
        d->vendor_id = e.vendor;
        d->product_id = e.product;
        d->usage_page = e.usagePage;
        d->usage = 1;
        d->interface_number = -1;
        if (e.hasManufacturer) {
            d->manufacturer_string = wcsdup(e.manufacturer.c_str());
        }
        d->product_string = wcsdup(L"");
        d->serial_number = wcsdup(L"");
        *tail = d;
        tail = &d->next;
    }
    return head;
}

SIMCAM_API void hid_free_enumeration(struct hid_device_info *devs)
{
    while (devs != nullptr) {
        hid_device_info *next = devs->next;
        free(devs->path);
        free(devs->manufacturer_string);
        free(devs->product_string);
        free(devs->serial_number);
        free(devs);
        devs = next;
    }
}

SIMCAM_API hid_device *hid_open_path(const char *path)
{
    Sim &s = ready();
    std::lock_guard<std::mutex> g(s.mu);
    tick(s);
    if (path == nullptr) {
        return nullptr;
    }
    if (consume(s.failOpens)) {
        setError(s, L"Failed to open device: Permission denied");
        return nullptr;
    }
    for (const Entry &e : s.entries) {
        if (e.path != path) {
            continue;
        }
        simcam_model m = modelOf(e.vendor, e.product);
        if (s.unplugged && m != SIMCAM_NONE) {
            setError(s, L"Failed to open device: No such file or directory");
            return nullptr;
        }
        auto *d = new hid_device_;
        d->path = path;
        d->model = m;
        ++s.opens;
        ++s.handles;
        s.openModel = m;
        return d;
    }
    setError(s, L"Failed to open device: No such file or directory");
    return nullptr;
}

SIMCAM_API hid_device *hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t *)
{
    Sim &s = ready();
    std::string path;
    {
        std::lock_guard<std::mutex> g(s.mu);
        for (const Entry &e : s.entries) {
            if (e.vendor == vendor_id && e.product == product_id) {
                path = e.path;
                break;
            }
        }
    }
    return path.empty() ? nullptr : hid_open_path(path.c_str());
}

SIMCAM_API int hid_set_nonblocking(hid_device *dev, int nonblock)
{
    Sim &s = ready();
    std::lock_guard<std::mutex> g(s.mu);
    tick(s);
    if (dev == nullptr) {
        return -1;
    }
    dev->nonblocking = nonblock != 0;
    s.lastNonblocking = nonblock != 0 ? 1 : 0;
    return 0;
}

SIMCAM_API int hid_write(hid_device *dev, const unsigned char *data, size_t length)
{
    Sim &s = ready();
    std::lock_guard<std::mutex> g(s.mu);
    tick(s);
    if (dev == nullptr || data == nullptr) {
        return -1;
    }
    s.writes.emplace_back(data, data + length);
    if (s.record != nullptr) {
        std::string line = "write " + std::to_string(length);
        char hex[4];
        for (size_t i = 0; i < length; ++i) {
            snprintf(hex, sizeof hex, " %02x", data[i]);
            line += hex;
        }
        recordLine(s, line);
    }
    if (s.unplugged && dev->model != SIMCAM_NONE) {
        // hidapi's hidraw backend gives strerror(ENODEV) here, as the real-stack test shows.
        setError(s, L"No such device");
        return -1;
    }
    if (consume(s.failWrites)) {
        setError(s, L"hid_write: Broken pipe");
        return -1;
    }
    if (dev->model != SIMCAM_NONE) {
        camera(s, dev->model, data, length);
    }
    return static_cast<int>(length);
}

SIMCAM_API int hid_read_timeout(hid_device *dev, unsigned char *data, size_t length, int)
{
    Sim &s = ready();
    std::lock_guard<std::mutex> g(s.mu);
    tick(s);
    if (dev == nullptr || data == nullptr) {
        return -1;
    }
    if (s.unplugged && dev->model != SIMCAM_NONE) {
        setError(s, L"hid_read: device disconnected");
        return -1;
    }
    if (consume(s.failReads)) {
        setError(s, L"hid_read: Input/output error");
        return -1;
    }
    if (s.queue.empty()) {
        return 0; // nothing waiting; a blocking read would wait here, the simulation never does
    }
    Report r = s.queue.front();
    s.queue.pop_front();
    size_t n = r.bytes.size() < length ? r.bytes.size() : length;
    if (n > 0) {
        memcpy(data, r.bytes.data(), n);
    }
    return static_cast<int>(n);
}

SIMCAM_API int hid_read(hid_device *dev, unsigned char *data, size_t length)
{
    return hid_read_timeout(dev, data, length, dev != nullptr && dev->nonblocking ? 0 : -1);
}

SIMCAM_API void hid_close(hid_device *dev)
{
    Sim &s = ready();
    std::unique_lock<std::mutex> g(s.mu);
    tick(s);
    if (dev == nullptr) {
        return;
    }
    if (consume(s.closeThrows)) {
        // The device is let go of, but the handle's memory is kept: the caller may still hold it.
        ++s.closes;
        --s.handles;
        s.queue.clear();
        s.graveyard.push_back(dev);
        setError(s, L"hid_close: simulated failure");
        throw std::runtime_error("simulated hid_close failure");
    }
    ++s.closes;
    --s.handles;
    s.queue.clear(); // like hidraw: a new handle sees only reports sent after its open
    delete dev;
}

SIMCAM_API const wchar_t *hid_error(hid_device *)
{
    Sim &s = ready();
    std::lock_guard<std::mutex> g(s.mu);
    if (s.errorNull) {
        return nullptr;
    }
    // A stable copy per call site is not needed by the library: it formats the text at once.
    static thread_local std::wstring copy;
    copy = s.errorText;
    return copy.c_str();
}

SIMCAM_API int hid_get_manufacturer_string(hid_device *, wchar_t *string, size_t maxlen)
{
    if (string != nullptr && maxlen > 0) {
        string[0] = L'\0';
    }
    return 0;
}

SIMCAM_API int hid_get_product_string(hid_device *d, wchar_t *string, size_t maxlen)
{
    return hid_get_manufacturer_string(d, string, maxlen);
}

SIMCAM_API int hid_get_serial_number_string(hid_device *d, wchar_t *string, size_t maxlen)
{
    return hid_get_manufacturer_string(d, string, maxlen);
}

// ---- the virtual clock -------------------------------------------------------------------

SIMCAM_API int nanosleep(const struct timespec *req, struct timespec *rem)
{
    static NanosleepFn real = reinterpret_cast<NanosleepFn>(dlsym(RTLD_NEXT, "nanosleep"));
    Sim &s = ready();
    if (!s.realSleep && req != nullptr && calledFromCameraLibrary(__builtin_return_address(0))) {
        std::lock_guard<std::mutex> g(s.mu);
        unsigned long long ns = static_cast<unsigned long long>(req->tv_sec) * 1000000000ULL +
                                static_cast<unsigned long long>(req->tv_nsec);
        s.pauses.push_back(Pause{ns});
        s.clockNs += ns;
        recordLine(s, "pause " + std::to_string(ns / 1000000ULL));
        return 0;
    }
    return real(req, rem);
}

// ---- control -----------------------------------------------------------------------------

SIMCAM_API void simcam_reset(void)
{
    Sim &s = sim();
    std::lock_guard<std::mutex> g(s.mu);
    s.configured = true;
    s.entries.clear();
    s.failEnumerate = false;
    s.failOpens = s.failWrites = s.failReads = s.closeThrows = 0;
    s.unplugged = false;
    s.unplugCountdown = 0;
    s.errorOverride = false;
    s.errorNull = false;
    s.errorText = L"Success";
    s.answers = true;
    s.state = 0;
    s.reportLength = 0;
    s.queue.clear();
    s.saves = 0;
    s.writes.clear();
    s.pauses.clear();
    s.clockNs = 0;
    s.opens = s.closes = s.handles = 0;
    s.lastNonblocking = 0;
    for (hid_device *d : s.graveyard) {
        delete d;
    }
    s.graveyard.clear();
}

#define LOCKED Sim &s = sim(); std::lock_guard<std::mutex> g(s.mu); s.configured = true

SIMCAM_API int simcam_add_device(unsigned short vendor_id, unsigned short product_id,
                                 unsigned short usage_page, const wchar_t *manufacturer, const char *path)
{
    LOCKED;
    return addDevice(s, vendor_id, product_id, usage_page, manufacturer, path);
}

SIMCAM_API int simcam_add_camera(enum simcam_model model, unsigned short usage_page)
{
    LOCKED;
    return addCamera(s, model, usage_page);
}

SIMCAM_API void simcam_fail_enumerate(int on) { LOCKED; s.failEnumerate = on != 0; }
SIMCAM_API void simcam_fail_opens(int count) { LOCKED; s.failOpens = count; }
SIMCAM_API void simcam_fail_writes(int count) { LOCKED; s.failWrites = count; }
SIMCAM_API void simcam_fail_reads(int count) { LOCKED; s.failReads = count; }
SIMCAM_API void simcam_close_throws(int count) { LOCKED; s.closeThrows = count; }

SIMCAM_API void simcam_unplug(void)
{
    LOCKED;
    s.unplugged = true;
    s.state = 0; // the camera loses power with its cable
    s.queue.clear();
}

SIMCAM_API void simcam_plug(void) { LOCKED; s.unplugged = false; }
SIMCAM_API void simcam_unplug_before_call(int n) { LOCKED; s.unplugCountdown = n; }
SIMCAM_API int simcam_unplugged(void) { LOCKED; return s.unplugged ? 1 : 0; }

SIMCAM_API void simcam_set_error(const wchar_t *text)
{
    LOCKED;
    s.errorOverride = true;
    s.errorNull = text == nullptr;
    s.errorText = text != nullptr ? text : L"";
}

SIMCAM_API void simcam_clear_error(void)
{
    LOCKED;
    s.errorOverride = false;
    s.errorNull = false;
    s.errorText = L"Success";
}

SIMCAM_API void simcam_set_answers(int on) { LOCKED; s.answers = on != 0; }
SIMCAM_API void simcam_set_state(unsigned char st) { LOCKED; s.state = st; }
SIMCAM_API unsigned char simcam_state(void) { LOCKED; return s.state; }
SIMCAM_API void simcam_set_report_length(size_t n) { LOCKED; s.reportLength = n > 256 ? 256 : n; }

SIMCAM_API void simcam_queue_report(const unsigned char *bytes, size_t n)
{
    LOCKED;
    Report r;
    if (bytes != nullptr) {
        r.bytes.assign(bytes, bytes + (n > 256 ? 256 : n));
    }
    s.queue.push_back(r);
}

SIMCAM_API size_t simcam_queued(void) { LOCKED; return s.queue.size(); }
SIMCAM_API int simcam_saves(void) { LOCKED; return s.saves; }
SIMCAM_API size_t simcam_write_count(void) { LOCKED; return s.writes.size(); }

SIMCAM_API const unsigned char *simcam_write_at(size_t i, size_t *length)
{
    LOCKED;
    if (i >= s.writes.size()) {
        if (length != nullptr) {
            *length = 0;
        }
        return nullptr;
    }
    if (length != nullptr) {
        *length = s.writes[i].size();
    }
    return s.writes[i].data();
}

SIMCAM_API size_t simcam_pause_count(void) { LOCKED; return s.pauses.size(); }

SIMCAM_API unsigned long long simcam_pause_ns_at(size_t i)
{
    LOCKED;
    return i < s.pauses.size() ? s.pauses[i].ns : 0;
}

SIMCAM_API unsigned long simcam_pause_ms_at(size_t i)
{
    return static_cast<unsigned long>(simcam_pause_ns_at(i) / 1000000ULL);
}

SIMCAM_API unsigned long long simcam_clock_ns(void) { LOCKED; return s.clockNs; }
SIMCAM_API int simcam_open_count(void) { LOCKED; return s.opens; }
SIMCAM_API int simcam_close_count(void) { LOCKED; return s.closes; }
SIMCAM_API int simcam_handles_open(void) { LOCKED; return s.handles; }
SIMCAM_API int simcam_nonblocking(void) { LOCKED; return s.lastNonblocking; }

SIMCAM_API void simcam_clear_records(void)
{
    LOCKED;
    s.writes.clear();
    s.pauses.clear();
    s.clockNs = 0;
}
