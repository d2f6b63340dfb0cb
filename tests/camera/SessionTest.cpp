// The host's whole session through the exports, for each model: every line, report and pause.
#include "CameraFixture.h"

#include "Nembrel.h"

namespace {

using Lines = std::vector<std::string>;

// What the host does, in its order; the second release finds nothing and logs nothing.
void hostSession()
{
    ASSERT_EQ(selectDevice(), 1);
    EXPECT_EQ(openDevice(), 1);
    EXPECT_EQ(toggleLight(), 2);
    EXPECT_EQ(toggleZoom(), 2);
    EXPECT_EQ(NEMBREL_JNI(freeze)(nullptr, nullptr), 0);
    EXPECT_EQ(NEMBREL_JNI(unfreeze)(nullptr, nullptr), 0);
    EXPECT_EQ(NEMBREL_JNI(save)(nullptr, nullptr), 0);
    EXPECT_EQ(resume(), 1);
    char serial[16] = "";
    EXPECT_EQ(getSerialNumber(serial, sizeof serial), 1);
    EXPECT_STREQ(serial, "");
    EXPECT_EQ(unselect(), 0);
    EXPECT_EQ(unselect(), 0);
    EXPECT_EQ(gHIDWrapper.hidDevice, nullptr);
    EXPECT_EQ(simcam_handles_open(), 0);
}

TEST_F(CameraTest, PanasonicSession)
{
    simcam_add_device(0x046D, 0xC52B, 1, L"Logitech", nullptr);
    simcam_add_camera(SIMCAM_PANASONIC, 0xFF00);
    ASSERT_EQ(init(), 2);
    mark();
    hostSession();
    EXPECT_EQ(newTexts(), (Lines{
    "CHIDWrapperJ::selHIDDevice() entry",
    "dev path= /dev/hidraw1",
    "    Connected to HID port.",
    "CHIDWrapperJ::openDevice() -  Set power on",
    "CHIDWrapperJ::setPowerOn()  entry",
    " Panasonic camera",
    "Write 'Power on'",
    "(debug) Written. Read status ...",
    "POWER on written.",
    "  setPowerOn() - Read status",
    "  setPowerOn() - Buffer read.",
    "  getStatus()    #status bytes: 64",
    "  getStatus()    ... Status byte from camera= 0x01",
    "setPowerOn() - NewStatus : 0x01",
    "  setPowerOn() - Buffer read.",
    "  setPowerOn() - Could not read HID status!",
    " -  Set extended mode on",
    "setExtended()  ... ",
    "setExtended()  ... Write 'Extended Mode' 0x13.",
    "  setExtended()  ... Write OK... Read status...",
    "  getStatus()    #status bytes: 64",
    "  getStatus()    ... Status byte from camera= 0x13",
    "setExtended() - newStatus : 0x13",
    "toggleLight()  ... ",
    "  statusLight()  ... Light is ON",
    "  toggleLight()  ... Write Light off (0x03). Curr Status = 0x13",
    "  toggleLight()  ... Read status",
    "  getStatus()    #status bytes: 64",
    "  getStatus()    ... Status byte from camera= 0x03",
    "toggleLight()  - New status : 0x03",
    "  toggleZoom() ...",
    "...  Write Zoom on (0x07).  Curr Status = 0x03",
    "  getStatus()    #status bytes: 64",
    "  getStatus()    ... Status byte from camera= 0x07",
    "toggleZoom() - New status : 0x07",
    "setFreeze   ...",
    "setUnfreeze   ...",
    "setSave   ...",
    "  getStatus()    #status bytes: 64",
    "  getStatus()    ... Status byte from camera= 0x0f",
    "  getSerialNumber ...",
    "  OK",
    "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
    "  getStatus()    #status bytes: 64",
    "  getStatus()    ... Status byte from camera= 0x07",
    "dev path= /dev/hidraw1",
    "  unselectHIDDevice()... HID_write",
    "  unselectHIDDevice()... hid_close_PM",
    "  unselectHIDDevice() end",
    "Close logfile."}));
    EXPECT_EQ(writes(), (std::vector<Bytes>{report(0x01), report(0x13), report(0x03), report(0x07), report(0x04),
                                            report(0x08), report(0x40), report(0x0F), report(0x02)}));
    EXPECT_EQ(pausesMs(), (std::vector<unsigned long>{1000, 500, 500, 1500, 1000, 800, 1000}));
}

TEST_F(CameraTest, SomiaSession)
{
    simcam_add_device(0x046D, 0xC52B, 1, L"Logitech", nullptr);
    simcam_add_camera(SIMCAM_SOMIA, 0xFF00);
    ASSERT_EQ(init(), 1002);
    mark();
    hostSession();
    EXPECT_EQ(newTexts(), (Lines{
    "CHIDWrapperJ::selHIDDevice() entry",
    "dev path= /dev/hidraw1",
    "    Connected to HID port.",
    "CHIDWrapperJ::openDevice() -  Set power on",
    "CHIDWrapperJ::setPowerOn()  entry",
    " Somia camera",
    "Write 'Power on'",
    "(debug) Written. Read status ...",
    "POWER on written.",
    "toggleLight()  ... ",
    "  statusLight()  ... Light is OFF",
    "  toggleLight()  ... Write Light On (0x10). Curr Status = 0x00",
    "  toggleLight()  ... Read status",
    "  getStatus()    #status bytes: 16",
    "  getStatus()    ... Status byte from camera= 0x00",
    "toggleLight()  - New status : 0x00",
    "  toggleZoom() ...",
    "...  Write Zoom on (0x04).  Curr Status = 0x00",
    "  getStatus()    #status bytes: 16",
    "  getStatus()    ... Status byte from camera= 0x01",
    "toggleZoom() - New status : 0x01",
    "setFreeze   ...",
    "setUnfreeze   ...",
    "setSave   ...",
    "  getStatus()    #status bytes: 16",
    "  getStatus()    ... Status byte from camera= 0x11",
    "  getSerialNumber ...",
    "  OK",
    "CHIDWrapperJ::unselectHIDDevice()... power off  and release sreources",
    "  getStatus()    #status bytes: 16",
    "  getStatus()    ... Status byte from camera= 0x19",
    "dev path= /dev/hidraw1",
    "  unselectHIDDevice()... HID_write",
    "  unselectHIDDevice()... hid_close_PM",
    "  unselectHIDDevice() end",
    "Close logfile."}));
    EXPECT_EQ(writes(), (std::vector<Bytes>{report(0x01, 16), report(0x10), report(0x04), report(0x04), report(0x08),
                                            report(0x40), report(0x09), report(0x02, 14)}));
    EXPECT_EQ(pausesMs(), (std::vector<unsigned long>{1000, 1000, 800, 1000}));
}

} // namespace
