// Preloaded behind the simulated camera: every open of a HID device fails, as it does for a
// device node the user may not read and write.
#include <hidapi.h>

#include "SimCamera.h"

__attribute__((constructor)) static void failEveryOpen()
{
    // The device list comes from SIMCAM on the first HID call; set it up before the fault.
    hid_free_enumeration(hid_enumerate(0, 0));
    simcam_fail_opens(-1);
}
