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

        // Paths that are no regular file, or cannot be read: each "0.0.0.0", at once, never a
        // hang on a FIFO without a writer or a stream from a device.
        Path fifo = scratch.resolve("fifo");
        Files.deleteIfExists(fifo);
        new ProcessBuilder("mkfifo", fifo.toString()).inheritIO().start().waitFor();
        Path dangling = scratch.resolve("dangling");
        Files.deleteIfExists(dangling);
        Files.createSymbolicLink(dangling, scratch.resolve("nothing-here"));
        Path unreadable = scratch.resolve("unreadable.dll");
        Files.copy(Paths.get(v1234), unreadable, java.nio.file.StandardCopyOption.REPLACE_EXISTING);
        new ProcessBuilder("chmod", "000", unreadable.toString()).inheritIO().start().waitFor();
        boolean root = "root".equals(System.getProperty("user.name"));
        String[][] hostile = {
            {"a FIFO", fifo.toString()},
            {"/dev/zero", "/dev/zero"},
            {"/dev/urandom", "/dev/urandom"},
            {"/dev/null", "/dev/null"},
            {"a directory", scratch.toString()},
            {"a dangling link", dangling.toString()},
            {"a path of 300 characters", "/" + "d".repeat(299)},
            {"characters above U+00FF", scratch + "/中文.dll"},
            {"an empty path", ""},
            {"a relative path that names nothing", "no/such/file.dll"},
        };
        for (String[] h : hostile) {
            long t0 = System.nanoTime();
            expect(h[0], "0.0.0.0", dlg.GetFileVersionInfoDLL(h[1], 0));
            long ms = (System.nanoTime() - t0) / 1_000_000;
            if (ms > 1000) {
                failures++;
                System.out.println("FAIL " + h[0] + " took " + ms + " ms");
            }
        }
        // Root reads any file, so the unreadable one is only unreadable for others.
        expect("an unreadable file", root ? "1.2.3.4" : "0.0.0.0", dlg.GetFileVersionInfoDLL(unreadable.toString(), 0));
        Files.deleteIfExists(fifo);
        Files.deleteIfExists(dangling);
        Files.deleteIfExists(unreadable);

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
