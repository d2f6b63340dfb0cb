// nembrel-camera: the camera and the version library from the command line, without the host.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "CameraSession.h"
#include "DeviceList.h"
#include "ExitCodes.h"
#include "FileVersion.h"
#include "Simulate.h"

namespace {

const char kHelp[] =
    "Usage: nembrel-camera [--simulate=panasonic|somia] COMMAND [ARGUMENT]\n"
    "\n"
    "Drives the intraoral camera through libNembrel, the library the imaging host loads, and\n"
    "prints each call's result and what it means.\n"
    "\n"
    "Commands:\n"
    "  list            list the HID devices (vendor, product, usage page, path, manufacturer)\n"
    "                  and mark with * the camera that discovery would choose\n"
    "  session         the host's whole session: init, selectDevice, openDevice, getStatus,\n"
    "                  toggleLight, toggleZoom, freeze, unfreeze, save, resume, unselect\n"
    "  status          read the camera's status byte and name its bits\n"
    "  light           toggle the light\n"
    "  zoom            toggle the zoom\n"
    "  freeze          freeze the picture\n"
    "  unfreeze        unfreeze the picture\n"
    "  save            send the save command\n"
    "  resume          send the resume command\n"
    "  release         power the camera off and release it\n"
    "  version PATH    print the file version of PATH (a.b.c.d) through libPellimor\n"
    "  help            this text (also -h, --help)\n"
    "\n"
    "Each camera command first finds the camera (init) and opens it (selectDevice); all but\n"
    "release also power it on (openDevice) and read the status reports the camera has queued\n"
    "(getStatus). They leave it powered on: only 'release' and 'session' power it off.\n"
    "\n"
    "Options:\n"
    "  --simulate=MODEL  run against the simulated camera (panasonic or somia) instead of the\n"
    "                    real HID devices; its pauses take no time\n"
    "\n"
    "The camera library writes every step to HIDWrapperJ.log in the working directory.\n"
    "\n"
    "Exit codes:\n"
    "  0  done\n"
    "  1  a camera command failed, or the file has no readable version\n"
    "  2  unknown command or option\n"
    "  3  no camera found (no HID devices, or none that is a camera)\n"
    "  4  a camera was found but could not be opened (the message says why)\n"
    "  5  --simulate: the simulated camera library was not found\n";

int usage(const char *what)
{
    std::fprintf(stderr, "nembrel-camera: %s\nRun 'nembrel-camera --help' for the commands.\n", what);
    return kExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    std::setlocale(LC_ALL, "");
    const char *command = nullptr;
    const char *argument = nullptr;
    const char *model = nullptr;
    int extra = 0;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strncmp(a, "--simulate=", 11) == 0) {
            model = a + 11;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            command = "help";
        } else if (a[0] == '-' && a[1] != '\0' && command == nullptr) {
            char text[256];
            std::snprintf(text, sizeof text, "unknown option '%s'", a);
            return usage(text);
        } else if (command == nullptr) {
            command = a;
        } else if (argument == nullptr) {
            argument = a;
        } else {
            ++extra;
        }
    }
    if (command == nullptr) {
        return usage("no command given");
    }
    if (std::strcmp(command, "help") == 0) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    bool takesArgument = std::strcmp(command, "version") == 0;
    if (takesArgument ? (argument == nullptr || extra > 0) : argument != nullptr) {
        char text[256];
        std::snprintf(text, sizeof text, takesArgument ? "'%s' takes one path" : "'%s' takes no argument",
                      command);
        return usage(text);
    }
    if (model != nullptr) {
        int rc = simulate(model, argv);
        if (rc != kExitOk) {
            return rc;
        }
        std::printf("(simulated %s camera)\n", model);
    }

    if (std::strcmp(command, "list") == 0) {
        return listDevices();
    }
    if (std::strcmp(command, "session") == 0) {
        return runSession();
    }
    if (std::strcmp(command, "version") == 0) {
        return printFileVersion(argument);
    }
    int rc = runCommand(command);
    if (rc >= 0) {
        return rc;
    }
    char text[256];
    std::snprintf(text, sizeof text, "unknown command '%s'", command);
    return usage(text);
}
