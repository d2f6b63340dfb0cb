// Loads Pellimor.dll under Windows (here: wine), calls its JNI export through our own minimal
// JNIEnv and checks the fixture table and the path cases, so that the Windows build and our
// own reader answer alike. Usage: pellimor_wine_test FIXTURES_DIR (a Unix path) | --probe
#include <windows.h>

#include <cstdio>
#include <string>

#include "FakeJniEnv.h"
#include "FixtureCases.h"

namespace {

using Export = jstring(JNICALL *)(JNIEnv *, jobject, jstring, jint);
int failures = 0;

void expect(const std::string &what, const std::string &expected, const std::string &got)
{
    const bool ok = expected == got;
    failures += ok ? 0 : 1;
    std::printf("%s %-28s expected %-16s got %s\n", ok ? "ok  " : "FAIL", what.c_str(), expected.c_str(), got.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pellimor_wine_test FIXTURES_DIR | --probe\n");
        return 2;
    }
    if (std::string(argv[1]) == "--probe") {
        std::printf("ready\n");
        return 0;
    }
    HMODULE dll = LoadLibraryA("Pellimor.dll");
    if (dll == nullptr) {
        std::printf("FAIL cannot load Pellimor.dll (error %lu)\n", GetLastError());
        return 1;
    }
    auto call = reinterpret_cast<Export>(reinterpret_cast<void *>(
        GetProcAddress(dll, "Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL")));
    if (call == nullptr) {
        std::printf("FAIL the undecorated JNI export is missing\n");
        return 1;
    }

    // wine's drive Z: is the Unix root.
    std::string dir = std::string("Z:") + argv[1];
    for (char &c : dir)
        c = c == '/' ? '\\' : c;

    FakeJniEnv fake;
    auto version = [&](jstring path, jint second = 0) {
        jstring result = call(fake.env(), nullptr, path, second);
        if (fake.charsOut_ != 0) {
            ++failures;
            std::printf("FAIL characters not released\n");
        }
        return result == nullptr ? std::string("<null>") : FakeJniEnv::text(result);
    };

    const std::vector<FixtureCase> cases = loadFixtureCases(argv[1]);
    if (cases.empty()) {
        std::printf("FAIL no cases.txt in %s\n", argv[1]);
        return 1;
    }
    for (const FixtureCase &c : cases) {
        if (c.where == "all") {
            expect(c.file, c.expected, version(fake.newString(dir + "\\" + c.file)));
        }
    }

    const std::string v1234 = dir + "\\v1234.dll";
    // Relative to the fixtures, ".\" names the same folder, so this path of 255 characters names
    // v1234.dll; one more character and its first 255 would still name it, but it is refused.
    if (SetCurrentDirectoryA(dir.c_str()) == 0) {
        std::printf("FAIL cannot enter %s\n", dir.c_str());
        return 1;
    }
    std::string longest;
    while (longest.size() + std::string("v1234.dll").size() < 255)
        longest += ".\\";
    longest += "v1234.dll";
    expect("255 characters", "1.2.3.4", version(fake.newString(longest)));
    expect("256 characters", "0.0.0.0", version(fake.newString(longest + "x")));
    expect("above U+00FF", "0.0.0.0", version(fake.newString(u"\u0100" + std::u16string(v1234.begin(), v1234.end()))));
    expect("embedded NUL", "0.0.0.0", version(fake.newString(v1234 + std::string(1, '\0') + "x")));
    expect("null path", "0.0.0.0", version(nullptr));
    expect("empty path", "0.0.0.0", version(fake.newString(std::string())));
    expect("a directory", "0.0.0.0", version(fake.newString(dir)));
    expect("a missing file", "0.0.0.0", version(fake.newString(dir + "\\missing.dll")));
    expect("second argument", "1.2.3.4", version(fake.newString(v1234), -1));
    fake.failGetStringChars_ = true;
    expect("no characters from the JVM", "0.0.0.0", version(fake.newString(v1234)));

    std::printf("%s\n", failures == 0 ? "all passed" : "some failed");
    return failures == 0 ? 0 : 1;
}
