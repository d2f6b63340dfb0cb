package rizever_client_imaging.cam;

/**
 * The host's class for the file version library Pellimor.
 *
 * <p>The library is loaded once, when the class is first used: from the absolute path in the
 * system property {@code pellimor.library} when it is set, else by its name ("Pellimor", that is
 * Pellimor.dll on Windows, libPellimor.so on Linux) from {@code java.library.path}.
 */
public class RadidOdiDLLDlg {
    static {
        String path = System.getProperty("pellimor.library");
        if (path != null && !path.isEmpty()) {
            System.load(path);
        } else {
            System.loadLibrary("Pellimor");
        }
    }

    /**
     * The file version of the file at {@code path} as "a.b.c.d", each part 0 to 65535, or
     * "0.0.0.0" when the file has no readable version or the path cannot be used. The second
     * argument has no effect. Safe to call from several threads at once.
     */
    public native String GetFileVersionInfoDLL(String path, int unused);
}
