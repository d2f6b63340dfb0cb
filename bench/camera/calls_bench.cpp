// The library's own time per camera call, with the simulated camera: its virtual clock takes
// the fixed pauses away, and the simulated enumeration's own cost is measured apart and taken off.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

#include <hidapi.h>
#include <jni.h>

#include "CHIDWrapperJ.h"
#include "LogFileUI.h"
#include "Nembrel.h"
#include "SimCamera.h"

extern "C" jlong Java_rizever_1client_1imaging_cam_HIDWrapperW_freeze(JNIEnv *, jobject);
extern "C" jlong Java_rizever_1client_1imaging_cam_HIDWrapperW_save(JNIEnv *, jobject);

namespace {

using Clock = std::chrono::steady_clock;

// Best of a few rounds of `n` calls, in microseconds per call.
double perCall(int n, const std::function<void()> &fn)
{
    double best = 1e18;
    for (int round = 0; round < 5; ++round) {
        auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            fn();
        }
        double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / n;
        best = us < best ? us : best;
    }
    return best;
}

void devices(int count)
{
    simcam_reset();
    for (int i = 1; i < count; ++i) {
        simcam_add_device(0x046D, static_cast<unsigned short>(i), 1, L"Logitech", nullptr);
    }
    simcam_add_camera(SIMCAM_PANASONIC, 0xFF00); // last: the walk passes every entry
}

void freshLog()
{
    char buf[256];
    LogFileUI::init(buf);
}

} // namespace

int main()
{
    bool smoke = getenv("BENCH_SMOKE") != nullptr;
    char dir[] = "/tmp/nembrel-callbench-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        return 1;
    }
    freshLog();
    int reps = smoke ? 20 : 2000;

    for (int count : {1, 100, 10000}) {
        devices(count);
        int n = count >= 10000 ? (smoke ? 2 : 50) : reps;
        double total = perCall(n, [] { init(); });
        double enumerate = perCall(n, [] { hid_free_enumeration(hid_enumerate(0, 0)); });
        printf("init %5d devices  %9.2f us/call (simulated enumeration %9.2f, library %8.2f; %.4f us/device)\n",
               count, total, enumerate, total - enumerate, (total - enumerate) / count);
    }

    devices(2);
    init();
    selectDevice();
    openDevice();
    unsigned char rep[64] = {0x13};
    double status = perCall(reps, [&] {
        simcam_queue_report(rep, sizeof rep);
        getStatus();
    });
    double queueOnly = perCall(reps, [&] {
        simcam_queue_report(rep, sizeof rep);
        unsigned char b[256];
        hid_read(gHIDWrapper.hidDevice, b, sizeof b);
    });
    printf("getStatus          %9.2f us/call (simulated queue and read %6.2f, library %6.2f)\n", status, queueOnly,
           status - queueOnly);
    printf("toggleLight        %9.2f us/call\n", perCall(reps, [] { toggleLight(); }));
    printf("freeze             %9.2f us/call\n",
           perCall(reps, [] { Java_rizever_1client_1imaging_cam_HIDWrapperW_freeze(nullptr, nullptr); }));
    unselect();

    double session = perCall(smoke ? 5 : 500, [] {
        freshLog(); // the release closes the log: every session starts with one open
        init();
        selectDevice();
        openDevice();
        toggleLight();
        toggleZoom();
        Java_rizever_1client_1imaging_cam_HIDWrapperW_freeze(nullptr, nullptr);
        Java_rizever_1client_1imaging_cam_HIDWrapperW_save(nullptr, nullptr);
        resume();
        getStatus();
        unselect();
    });
    printf("whole session      %9.2f us (11 calls, %.2f us/call; %.1f s of pauses not slept)\n", session,
           session / 11, static_cast<double>(simcam_clock_ns()) / 1e9 / (smoke ? 25 : 2500));
    std::string cmd = std::string("rm -rf ") + dir;
    return system(cmd.c_str()) == 0 ? 0 : 1;
}
