// The JNI export through our fake JNIEnv: the narrowing, the text and the mended faults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "FakeJniEnv.h"
#include "Pellimor.h"

namespace {

const std::string kFixtures = PELLIMOR_FIXTURES_DIR;

std::string call(FakeJniEnv &fake, jstring path, jint second = 0)
{
    jstring result =
        Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL(fake.env(), nullptr, path, second);
    EXPECT_NE(result, nullptr);
    EXPECT_EQ(fake.charsOut_, 0) << "every GetStringChars needs its ReleaseStringChars";
    return result == nullptr ? std::string("<null>") : FakeJniEnv::text(result);
}

// A scratch folder whose name makes a path of exactly `length` characters possible.
class ScratchDir {
public:
    ScratchDir()
    {
        char name[] = "/tmp/pellimor-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~ScratchDir()
    {
        for (const std::string &link : links_)
            unlink(link.c_str());
        rmdir(path_.c_str());
    }
    // A symbolic link to `target` whose full path is `length` bytes long, with `fill` as filler.
    std::string linkOfLength(std::size_t length, const std::string &target, char fill = 'a')
    {
        std::string link = path_ + "/";
        link.append(length - link.size(), fill);
        EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
        links_.push_back(link);
        return link;
    }
    std::string linkNamed(const std::string &name, const std::string &target)
    {
        const std::string link = path_ + "/" + name;
        EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0);
        links_.push_back(link);
        return link;
    }

private:
    std::string path_;
    std::vector<std::string> links_;
};

TEST(Export, PathsAreNarrowedOrRefused)
{
    const std::string v1234 = kFixtures + "/v1234.dll";
    ScratchDir scratch;
    const std::string longest = scratch.linkOfLength(255, v1234);
    // Cut to 255 characters this path would name `longest`, a file with a version.
    const std::string tooLong = longest + "x";
    // A Latin-1 character becomes the byte of the same value, so this name holds byte 0xE9.
    const std::string latin1 = scratch.linkNamed("caf\xE9.dll", v1234);

    FakeJniEnv fake;
    struct Row {
        jstring path;
        const char *expected;
        const char *what;
    } rows[] = {
        {fake.newString(v1234), "1.2.3.4", "a plain path"},
        {fake.newString(longest), "1.2.3.4", "a path of 255 characters is used whole"},
        {fake.newString(tooLong), "0.0.0.0", "a path of 256 characters is refused, not cut"},
        {fake.newString(latin1), "1.2.3.4", "U+00E9 is narrowed to the byte 0xE9"},
        {fake.newString(u"/tmp/\u0100" + std::u16string(v1234.begin(), v1234.end())), "0.0.0.0",
         "a character above U+00FF"},
        {fake.newString(v1234 + std::string(1, '\0') + "x"), "0.0.0.0",
         "a NUL inside the path would name another file"},
        {fake.newString(std::string()), "0.0.0.0", "an empty path"},
        {fake.newString(kFixtures + "/plain.txt"), "0.0.0.0", "a file without version"},
        {nullptr, "0.0.0.0", "a null path"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(call(fake, row.path), row.expected);
    }
}

TEST(Export, TheSecondArgumentHasNoEffectAndEveryCallMakesANewString)
{
    FakeJniEnv fake;
    jstring path = fake.newString(kFixtures + "/v65535.dll");
    jstring missing = fake.newString(kFixtures + "/missing.dll");
    int calls = 0;
    for (jint second : {0, 1, -1, 0x7FFFFFFF, static_cast<jint>(-0x7FFFFFFF - 1)}) {
        EXPECT_EQ(call(fake, path, second), "65535.0.65535.7");
        EXPECT_EQ(call(fake, missing, second), "0.0.0.0");
        calls += 2;
    }
    EXPECT_EQ(fake.stringsMade_, calls);
}

TEST(Export, NullCharactersFromTheJvmGiveZeroWithoutReadingOrReleasing)
{
    FakeJniEnv fake;
    jstring path = fake.newString(kFixtures + "/v1234.dll");
    fake.failGetStringChars_ = true;
    EXPECT_EQ(call(fake, path), "0.0.0.0");
    EXPECT_EQ(fake.charsTaken_, 0);
}

TEST(Export, NoEnvironmentGivesNull)
{
    EXPECT_EQ(Java_rizever_1client_1imaging_cam_RadidOdiDLLDlg_GetFileVersionInfoDLL(nullptr, nullptr, nullptr, 0),
              nullptr);
}

TEST(Export, CopyAssignmentReturnsItself)
{
    CPellimor a, b;
    EXPECT_EQ(&(a = b), &a);
}

} // namespace
