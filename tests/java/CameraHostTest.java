import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.List;

import rizever_client_imaging.cam.HIDWrapperW;

/**
 * Drives the camera library through a real JVM with the simulated camera preloaded: every
 * native method must bind by name, results must arrive as Java longs with their sign, and the
 * log must hold the session. Arguments: the expected model ("panasonic" or "somia").
 */
public class CameraHostTest {
    private static int failures = 0;

    private static void check(String what, Object expected, Object actual) {
        if (!expected.equals(actual)) {
            System.err.println("FAIL " + what + ": expected " + expected + ", got " + actual);
            failures++;
        }
    }

    public static void main(String[] args) throws Exception {
        String model = args.length > 0 ? args[0] : "panasonic";
        boolean somia = model.equals("somia");
        HIDWrapperW cam = new HIDWrapperW();

        // Before anything is found: the not-connected answers, -1 as a 64-bit -1.
        check("getStatus before init", -1L, cam.getStatus());
        check("selectDevice before init", 0L, cam.selectDevice());
        check("serial without camera", "", cam.getSerialNumber());

        // The simulated list: a keyboard receiver first, then the camera.
        check("init", somia ? 1002L : 2L, cam.init());
        check("selectDevice", 1L, cam.selectDevice());
        check("openDevice", 1L, cam.openDevice());
        check("toggleLight", 2L, cam.toggleLight());
        check("toggleZoom", 2L, cam.toggleZoom());
        check("freeze", 0L, cam.freeze());
        check("unfreeze", 0L, cam.unfreeze());
        check("save", 0L, cam.save());
        check("resume", 1L, cam.resume());
        check("getStatus", true, cam.getStatus() >= 0);
        check("setExtended", somia ? 1L : 0L, cam.setExtended());
        check("getSerialNumber", "", cam.getSerialNumber());
        check("unselect", 0L, cam.unselect());
        check("second unselect", 0L, cam.unselect());
        check("getStatus after release", -1L, cam.getStatus());
        // Released cameras open again by the same path without a new init.
        check("selectDevice again", 1L, cam.selectDevice());
        check("unloadHID", 0L, cam.unloadHID());
        check("resume without camera", 0L, cam.resume());
        check("freeze without camera", 0L, cam.freeze());
        check("toggleLight without camera", 0L, cam.toggleLight());

        List<String> log = Files.readAllLines(Paths.get("HIDWrapperJ.log"));
        check("banner", true, log.get(0).endsWith("\t------ INIT ------------------------ INIT -------"));
        check("order line", true, log.stream().anyMatch(l -> l.endsWith(
                "\tPanasonic/Somia Order number  2.")));
        check("found line", true, log.stream().anyMatch(l -> l.endsWith(
                somia ? "\tFound Somia camera" : "\tFound Panasonic camera")));
        check("last line", true, log.get(log.size() - 1).endsWith("\tClose logfile."));

        // The reports the camera received, recorded by the simulated camera.
        String record = System.getenv("SIMCAM_RECORD");
        if (record != null) {
            List<String> sent = Files.readAllLines(Paths.get(record));
            String first = sent.stream().filter(l -> l.startsWith("write")).findFirst().orElse("");
            check("power on report", somia ? "write 16 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                           : "write 2 00 01", first);
        }

        if (failures > 0) {
            System.err.println(failures + " check(s) failed");
            System.exit(1);
        }
        System.out.println("camera host test passed (" + model + ")");
    }
}
