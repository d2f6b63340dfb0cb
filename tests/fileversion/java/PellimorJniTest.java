import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;

import rizever_client_imaging.cam.RadidOdiDLLDlg;

/**
 * Drives RadidOdiDLLDlg.GetFileVersionInfoDLL in a real JVM: the fixture table, paths the
 * narrowing must refuse, and many threads at once. Usage: PellimorJniTest FIXTURES_DIR SCRATCH_DIR
 */
public class PellimorJniTest {
    private static int failures = 0;

    private static void expect(String what, String expected, String got) {
        if (!expected.equals(got)) {
            failures++;
            System.out.println("FAIL " + what + ": expected \"" + expected + "\", got \"" + got + "\"");
        }
    }

    public static void main(String[] args) throws Exception {
        Path fixtures = Paths.get(args[0]).toAbsolutePath();
        Path scratch = Files.createDirectories(Paths.get(args[1]).toAbsolutePath());
        RadidOdiDLLDlg dlg = new RadidOdiDLLDlg();

        List<String[]> cases = new ArrayList<>();
        for (String line : Files.readAllLines(fixtures.resolve("cases.txt"))) {
            String[] row = line.split("\t");
            cases.add(row);
            expect(row[0] + " (" + row[3] + ")", row[1],
                   dlg.GetFileVersionInfoDLL(fixtures.resolve(row[0]).toString(), 0));
        }

        String v1234 = fixtures.resolve("v1234.dll").toString();
        // A path of exactly 255 characters is used whole; one more and it is refused, even
        // though its first 255 characters name a file with a version.
        String prefix = scratch.toString() + "/";
        Path longest = Paths.get(prefix + "a".repeat(255 - prefix.length()));
        Files.deleteIfExists(longest);
        Files.createSymbolicLink(longest, Paths.get(v1234));
        expect("255 characters", "1.2.3.4", dlg.GetFileVersionInfoDLL(longest.toString(), 0));
        expect("256 characters", "0.0.0.0", dlg.GetFileVersionInfoDLL(longest + "x", 0));
        expect("above U+00FF", "0.0.0.0", dlg.GetFileVersionInfoDLL("/tmp/\u0100/../.." + v1234, 0));
        expect("embedded NUL", "0.0.0.0", dlg.GetFileVersionInfoDLL(v1234 + "\u0000.txt", 0));
        expect("null path", "0.0.0.0", dlg.GetFileVersionInfoDLL(null, 0));
        expect("empty path", "0.0.0.0", dlg.GetFileVersionInfoDLL("", 0));
        expect("a directory", "0.0.0.0", dlg.GetFileVersionInfoDLL(fixtures.toString(), 0));
        expect("second argument", "1.2.3.4", dlg.GetFileVersionInfoDLL(v1234, Integer.MIN_VALUE));

        String first = dlg.GetFileVersionInfoDLL(v1234, 0);
        String second = dlg.GetFileVersionInfoDLL(v1234, 0);
        if (first == second) {
            failures++;
            System.out.println("FAIL two calls returned the same string object");
        }

        // Many threads at once, each checking every row many times.
        ExecutorService pool = Executors.newFixedThreadPool(8);
        List<Future<Integer>> results = new ArrayList<>();
        for (int t = 0; t < 8; t++) {
            results.add(pool.submit(() -> {
                int wrong = 0;
                for (int round = 0; round < 200; round++) {
                    for (String[] row : cases) {
                        String got = dlg.GetFileVersionInfoDLL(fixtures.resolve(row[0]).toString(), round);
                        if (!row[1].equals(got)) wrong++;
                    }
                }
                return wrong;
            }));
        }
        pool.shutdown();
        if (!pool.awaitTermination(60, TimeUnit.SECONDS)) {
            failures++;
            System.out.println("FAIL threads did not finish in 60 s");
        }
        for (Future<Integer> r : results) {
            if (r.get() != 0) {
                failures++;
                System.out.println("FAIL " + r.get() + " wrong answers on a thread");
            }
        }
        Files.deleteIfExists(longest);

        System.out.println(failures == 0 ? "all passed" : failures + " failed");
        System.exit(failures == 0 ? 0 : 1);
    }
}
