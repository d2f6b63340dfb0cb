// The HID device list as the camera library's discovery sees it.
#pragma once

#include <hidapi.h>

enum CameraModel { kNotCamera = 0, kPanasonic = 1, kSomia = 2 };

// The model whose vendor and product identifiers the entry carries, whatever its usage page.
CameraModel cameraIdentity(const hid_device_info *d);

// The entry discovery would choose: the first with a camera identity and a usage page of 2 or
// more. *order gets its position (1 for the head), or 0 when there is none.
const hid_device_info *chosenEntry(const hid_device_info *list, int *order);

const char *modelName(CameraModel m);

// `list`: prints every HID device, marks the chosen camera; returns an exit code.
int listDevices();
