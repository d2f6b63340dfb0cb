#include "Simulate.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ExitCodes.h"

// Where the simulated camera lies, relative to the tool's folder: installed (a private library
// folder) and in the build tree. Set by the build.
#ifndef NEMBREL_SIMCAMERA_INSTALLED
#define NEMBREL_SIMCAMERA_INSTALLED "../lib/nembrel/libsimcamera.so"
#endif
#ifndef NEMBREL_SIMCAMERA_BUILD
#define NEMBREL_SIMCAMERA_BUILD "../simulated-camera/libsimcamera.so"
#endif

namespace {

constexpr const char *kMarker = "NEMBREL_CAMERA_SIMULATED";

bool findSimulator(char *out, size_t n)
{
    char self[PATH_MAX];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) {
        return false;
    }
    self[len] = '\0';
    char *slash = std::strrchr(self, '/');
    if (slash == nullptr) {
        return false;
    }
    *slash = '\0';
    for (const char *rel : {NEMBREL_SIMCAMERA_INSTALLED, NEMBREL_SIMCAMERA_BUILD}) {
        char candidate[PATH_MAX];
        int w = std::snprintf(candidate, sizeof candidate, "%s/%s", self, rel);
        if (w < 0 || static_cast<size_t>(w) >= sizeof candidate) {
            continue;
        }
        char resolved[PATH_MAX];
        if (realpath(candidate, resolved) != nullptr && access(resolved, R_OK) == 0) {
            int r = std::snprintf(out, n, "%s", resolved);
            return r >= 0 && static_cast<size_t>(r) < n;
        }
    }
    return false;
}

} // namespace

const char *simulatedModel()
{
    const char *m = std::getenv(kMarker);
    return m != nullptr && m[0] != '\0' ? m : nullptr;
}

int simulate(const char *model, char **argv)
{
    if (std::strcmp(model, "panasonic") != 0 && std::strcmp(model, "somia") != 0) {
        std::fprintf(stderr, "nembrel-camera: --simulate takes panasonic or somia, not '%s'\n", model);
        return kExitUsage;
    }
    const char *running = simulatedModel();
    if (running != nullptr && std::strcmp(running, model) == 0) {
        return kExitOk;
    }
    char lib[PATH_MAX];
    if (!findSimulator(lib, sizeof lib)) {
        std::fprintf(stderr, "nembrel-camera: the simulated camera (libsimcamera.so) was not found "
                             "beside the tool (looked in %s and %s, relative to the tool)\n",
                     NEMBREL_SIMCAMERA_INSTALLED, NEMBREL_SIMCAMERA_BUILD);
        return kExitNoSimulator;
    }
    char preload[2 * PATH_MAX];
    const char *old = std::getenv("LD_PRELOAD");
    int w = std::snprintf(preload, sizeof preload, "%s%s%s", lib,
                          old != nullptr && old[0] != '\0' ? ":" : "", old != nullptr ? old : "");
    if (w < 0 || static_cast<size_t>(w) >= sizeof preload) {
        std::fprintf(stderr, "nembrel-camera: LD_PRELOAD is too long to add the simulated camera\n");
        return kExitNoSimulator;
    }
    setenv("LD_PRELOAD", preload, 1);
    setenv("SIMCAM", model, 1);
    setenv(kMarker, model, 1);
    execv("/proc/self/exe", argv);
    std::perror("nembrel-camera: could not run itself again");
    return kExitNoSimulator;
}
