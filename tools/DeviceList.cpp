#include "DeviceList.h"

#include <cstdio>

#include "CHIDWrapperJ.h"
#include "ExitCodes.h"

CameraModel cameraIdentity(const hid_device_info *d)
{
    if (d->vendor_id == kPanasonicVendor && d->product_id == kPanasonicProduct) {
        return kPanasonic;
    }
    if (d->vendor_id == kSomiaVendor && d->product_id == kSomiaProduct) {
        return kSomia;
    }
    return kNotCamera;
}

const hid_device_info *chosenEntry(const hid_device_info *list, int *order)
{
    int k = 1;
    for (const hid_device_info *d = list; d != nullptr; d = d->next, ++k) {
        if (cameraIdentity(d) != kNotCamera && d->usage_page >= kMinUsagePage) {
            *order = k;
            return d;
        }
    }
    *order = 0;
    return nullptr;
}

const char *modelName(CameraModel m)
{
    switch (m) {
    case kPanasonic: return "Panasonic";
    case kSomia: return "Somia";
    default: return "";
    }
}

static const wchar_t *orEmpty(const wchar_t *w) { return w != nullptr ? w : L""; }

int listDevices()
{
    hid_device_info *list = hid_enumerate(0, 0);
    if (list == nullptr) {
        std::printf("No HID devices (or they could not be enumerated).\n");
        return kExitNoCamera;
    }
    int order = 0;
    const hid_device_info *chosen = chosenEntry(list, &order);
    std::printf("  # vendor product usage-page path                 manufacturer / product\n");
    int k = 1;
    int count = 0;
    int passedOver = 0;
    for (const hid_device_info *d = list; d != nullptr; d = d->next, ++k) {
        ++count;
        std::printf("%c%3d %04x   %04x    0x%04x     %-20s %ls / %ls\n", d == chosen ? '*' : ' ', k,
                    d->vendor_id, d->product_id, d->usage_page, d->path != nullptr ? d->path : "",
                    orEmpty(d->manufacturer_string), orEmpty(d->product_string));
        CameraModel m = cameraIdentity(d);
        if (m != kNotCamera && d != chosen) {
            if (d->usage_page < kMinUsagePage) {
                ++passedOver;
                std::printf("      %s camera ids, but usage page %u: passed over by discovery\n",
                            modelName(m), d->usage_page);
            } else {
                std::printf("      %s camera, behind the chosen one: not used\n", modelName(m));
            }
        }
    }
    if (chosen == nullptr) {
        std::printf("%d HID device(s), none of them a camera that discovery would choose.\n", count);
        if (passedOver > 0) {
            std::printf("A camera is attached, but the HID layer reports no usage page for it: "
                        "use hidapi's hidraw backend (see the README, troubleshooting).\n");
        }
        hid_free_enumeration(list);
        return kExitNoCamera;
    }
    CameraModel m = cameraIdentity(chosen);
    std::printf("* discovery chooses entry %d, the %s camera: init() gives %d.\n", order,
                modelName(m), m == kSomia ? order + 1000 : order);
    hid_free_enumeration(list);
    return kExitOk;
}
