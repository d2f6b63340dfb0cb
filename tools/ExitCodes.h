// Exit codes of nembrel-camera, for scripts (also listed by --help and in the README).
#pragma once

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,       // a camera command failed, or a file has no readable version
    kExitUsage = 2,        // unknown command or option
    kExitNoCamera = 3,     // no HID device, or none of them is a camera the library would choose
    kExitCannotOpen = 4,   // a camera is there but could not be opened or brought up
    kExitNoSimulator = 5,  // --simulate: the simulated camera library was not found
};
