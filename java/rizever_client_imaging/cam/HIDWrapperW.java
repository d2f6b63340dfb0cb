package rizever_client_imaging.cam;

/**
 * The camera library's native methods, bound by name to libNembrel's JNI exports.
 *
 * One call at a time: the library keeps its state in one global controller. Results follow the
 * library's conventions (see the README): discovery gives the order number (+1000 for the Somia
 * model), 0 or -1; the fixed-code commands give 0 on success and 1 only for a failed write.
 */
public class HIDWrapperW {
    static {
        String path = System.getProperty("nembrel.library");
        if (path != null && !path.isEmpty()) {
            System.load(path);
        } else {
            System.loadLibrary("Nembrel");
        }
    }

    public native long init();
    public native long selectDevice();
    public native long openDevice();
    public native long setExtended();
    public native long unselect();
    public native long unloadHID();
    public native long getStatus();
    public native String getSerialNumber();
    public native long resume();
    public native long toggleLight();
    public native long toggleZoom();
    public native long freeze();
    public native long unfreeze();
    public native long save();
}
