// A minimal JNIEnv of our own for calling the export without a JVM (unit tests, and the wine
// test where no JVM exists). It implements only what the export may use: GetStringLength,
// GetStringChars, ReleaseStringChars and NewStringUTF; every other slot is null, so a call of
// anything else crashes the test instead of passing it.
#pragma once

#include <jni.h>

#include <cstring>
#include <string>
#include <vector>

class FakeJniEnv {
public:
    // A Java string as the fake JVM holds it: UTF-16 units, not terminated.
    struct String {
        std::u16string units;
        std::string utf; // what NewStringUTF was given, for strings made by the export
    };

    FakeJniEnv()
    {
        std::memset(&table_, 0, sizeof table_);
        table_.GetStringLength = &getStringLength;
        table_.GetStringChars = &getStringChars;
        table_.ReleaseStringChars = &releaseStringChars;
        table_.NewStringUTF = &newStringUTF;
        env_.functions = &table_;
    }
    ~FakeJniEnv()
    {
        for (String *s : strings_)
            delete s;
    }
    FakeJniEnv(const FakeJniEnv &) = delete;
    FakeJniEnv &operator=(const FakeJniEnv &) = delete;

    JNIEnv *env() { return &env_; }

    jstring newString(const std::u16string &units)
    {
        String *s = new String{units, std::string()};
        strings_.push_back(s);
        return reinterpret_cast<jstring>(s);
    }
    jstring newString(const std::string &latin1)
    {
        std::u16string units;
        for (unsigned char c : latin1)
            units.push_back(static_cast<char16_t>(c));
        return newString(units);
    }
    static const std::string &text(jstring s) { return reinterpret_cast<String *>(s)->utf; }

private:
    static FakeJniEnv *self(JNIEnv *env) { return reinterpret_cast<FakeJniEnv *>(env); }

    static jsize JNICALL getStringLength(JNIEnv *, jstring s)
    {
        return static_cast<jsize>(reinterpret_cast<String *>(s)->units.size());
    }
    // Exactly the string's units in a buffer of their own size, with no terminator, as a JVM
    // may give them; a reader that goes past them reads past the allocation.
    static const jchar *JNICALL getStringChars(JNIEnv *env, jstring s, jboolean *isCopy)
    {
        if (self(env)->failGetStringChars_)
            return nullptr;
        const std::u16string &units = reinterpret_cast<String *>(s)->units;
        jchar *copy = new jchar[units.size() == 0 ? 1 : units.size()];
        for (std::size_t i = 0; i < units.size(); ++i)
            copy[i] = units[i];
        if (isCopy != nullptr)
            *isCopy = JNI_TRUE;
        ++self(env)->charsOut_;
        ++self(env)->charsTaken_;
        return copy;
    }
    static void JNICALL releaseStringChars(JNIEnv *env, jstring, const jchar *chars)
    {
        delete[] chars;
        --self(env)->charsOut_;
    }
    static jstring JNICALL newStringUTF(JNIEnv *env, const char *utf)
    {
        FakeJniEnv *me = self(env);
        ++me->stringsMade_;
        String *s = new String{std::u16string(), utf == nullptr ? std::string() : std::string(utf)};
        me->strings_.push_back(s);
        return reinterpret_cast<jstring>(s);
    }

public:
    // All data members share one access level so that the class stays standard-layout, which
    // makes the cast from the env pointer back to the object well defined.
    JNIEnv env_; // first member: the export's env pointer is a pointer to this object
    JNINativeInterface_ table_;
    std::vector<String *> strings_;

    bool failGetStringChars_ = false; // answer GetStringChars with null, as a JVM out of memory
    int charsOut_ = 0;                // GetStringChars minus ReleaseStringChars
    int charsTaken_ = 0;
    int stringsMade_ = 0;
};
