// The camera controller: all camera state of the library lives in its one instance gHIDWrapper.
#ifndef NEMBREL_CHIDWRAPPERJ_H
#define NEMBREL_CHIDWRAPPERJ_H

#include <hidapi.h>

#include "NembrelExport.h"

// Identities of the two cameras; entries with a usage page below 2 are never chosen.
constexpr unsigned short kPanasonicVendor = 0x04DA;
constexpr unsigned short kPanasonicProduct = 0x091A;
constexpr unsigned short kSomiaVendor = 0x301C;
constexpr unsigned short kSomiaProduct = 0xDA11;
constexpr unsigned short kMinUsagePage = 2;

// Status bits of byte 0 of every input report.
constexpr unsigned kStatusPower = 0x01;
constexpr unsigned kStatusExtended = 0x02;
constexpr unsigned kStatusZoom = 0x04;
constexpr unsigned kStatusFreezed = 0x08;
constexpr unsigned kStatusLight = 0x10;

class NEMBREL_API CHIDWrapperJ {
public:
    CHIDWrapperJ();

    // Discovery: the camera's order number (+1000 for the Somia model), 0 or -1.
    int init();

    // Connection and release.
    int selHIDDevice();
    int openDevice();
    int setPowerOn();
    int setExtended();
    int unselectHIDDevice();
    int unloadHID();

    // Status byte.
    int getStatus();
    int resetStatus();
    bool statusPower(short s);
    bool statusExtended(short s);
    bool statusZoom(short s);
    bool statusFreezed(short s);
    bool statusLight(short s);

    // Camera commands.
    int getSerialNumber(char *dst, int n);
    int toggleLight();
    int toggleZoom();
    int resume();
    int setFreeze();
    int setUnfreeze();
    int setSave();
    int setPowerOff();

    hid_device_info *devList;   // owned: the last enumeration, released only by the next init
    hid_device_info *selDevice; // borrowed from devList; null when no camera is chosen
    char serialNumber[256];
    hid_device *hidDevice;      // the open camera, or null
    short status;               // last status byte read, 0..255
    unsigned char powerWasOn;
    unsigned char lightWasOn;
    unsigned char extendedWasOn;
    unsigned char zoomWasOn;
    unsigned char isSomia;
    unsigned char isPanasonic;

private:
    __attribute__((visibility("hidden"))) int writeFixedCode(const char *entryLine, unsigned char code);
    __attribute__((visibility("hidden"))) void logWriteFailure(const char *format);
};

extern NEMBREL_API CHIDWrapperJ gHIDWrapper;

#endif
