package nembrel.example;

import java.nio.file.Path;
import java.nio.file.Paths;

import rizever_client_imaging.cam.HIDWrapperW;
import rizever_client_imaging.cam.RadidOdiDLLDlg;

/**
 * The reference host: loads both libraries, runs one camera session the way the imaging
 * application does, and prints each call's result, then the file version of each argument.
 *
 * <p>Libraries: -Dnembrel.library= and -Dpellimor.library= name them by path; without them
 * they are loaded by name from java.library.path. The camera library writes its log,
 * HIDWrapperJ.log, in the working directory.
 */
public final class CameraSessionExample {
    private CameraSessionExample() {}

    private static void show(String call, long result, String meaning) {
        System.out.printf("%-16s %6d  %s%n", call, result, meaning);
    }

    public static void main(String[] args) {
        HIDWrapperW camera = new HIDWrapperW();
        int failures = 0;

        long order = camera.init();
        if (order <= 0) {
            show("init()", order, order == 0 ? "no HID devices" : "HID devices, but no camera");
            System.exit(3);
        }
        show("init()", order, order > 1000 ? "Somia camera, entry " + (order - 1000)
                                           : "Panasonic camera, entry " + order);
        long selected = camera.selectDevice();
        show("selectDevice()", selected, selected == 1 ? "connected" : "could not connect");
        if (selected != 1) {
            System.exit(4);
        }
        long opened = camera.openDevice();
        show("openDevice()", opened, opened == 1 ? "powered on" : "no camera open");
        long status = camera.getStatus();
        show("getStatus()", status, status < 0 ? "no report waiting"
                                               : String.format("status byte 0x%02x", status));
        long light = camera.toggleLight();
        show("toggleLight()", light, light == 2 ? "written" : "not written");
        long zoom = camera.toggleZoom();
        show("toggleZoom()", zoom, zoom == 2 ? "written" : "not written");
        long freeze = camera.freeze();
        show("freeze()", freeze, freeze == 0 ? "written" : "write failed");
        long unfreeze = camera.unfreeze();
        show("unfreeze()", unfreeze, unfreeze == 0 ? "written" : "write failed");
        long save = camera.save();
        show("save()", save, save == 0 ? "written" : "write failed");
        long resume = camera.resume();
        show("resume()", resume, resume == 1 ? "sent" : "no camera open");
        System.out.printf("%-16s %6s  \"%s\"%n", "getSerialNumber()", "", camera.getSerialNumber());
        show("unselect()", camera.unselect(), "powered off and released; log closed");
        failures += (opened == 1 ? 0 : 1) + (light == 2 ? 0 : 1) + (zoom == 2 ? 0 : 1)
                + (int) (freeze + unfreeze + save) + (resume == 1 ? 0 : 1);

        RadidOdiDLLDlg version = new RadidOdiDLLDlg();
        for (String file : args) {
            System.out.printf("GetFileVersionInfoDLL(%s) = %s%n", file,
                    version.GetFileVersionInfoDLL(file, 0));
        }
        Path log = Paths.get("HIDWrapperJ.log").toAbsolutePath();
        System.out.println("log: " + log);
        System.exit(failures == 0 ? 0 : 1);
    }
}
