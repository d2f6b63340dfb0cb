import rizever_client_imaging.cam.RadidOdiDLLDlg;

/** Time per GetFileVersionInfoDLL call through the JVM. Usage: VersionBench CALLS FILE... */
public class VersionBench {
    public static void main(String[] args) {
        int calls = Integer.parseInt(args[0]);
        RadidOdiDLLDlg dlg = new RadidOdiDLLDlg();
        for (int f = 1; f < args.length; f++) {
            String path = args[f];
            String v = "";
            for (int i = 0; i < calls / 10; i++) { // warm the JIT and the page cache
                v = dlg.GetFileVersionInfoDLL(path, 0);
            }
            long t0 = System.nanoTime();
            for (int i = 0; i < calls; i++) {
                v = dlg.GetFileVersionInfoDLL(path, 0);
            }
            double us = (System.nanoTime() - t0) / 1000.0 / calls;
            System.out.printf("%-12d %10.2f %16s  %s%n", new java.io.File(path).length(), us, v, path);
        }
    }
}
