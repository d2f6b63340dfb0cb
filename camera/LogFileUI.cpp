#include "LogFileUI.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

FILE *fpLOGFILEUI = nullptr;
sem_t hSemaphore;
char LOGFILENAME[16] = "HIDWrapperJ.log";

namespace {

const char kBanner[] = "------ INIT ------------------------ INIT -------";

// The lock is created once per process: a second init must not re-create it under a writer.
[[maybe_unused]] pthread_once_t gLockOnce = PTHREAD_ONCE_INIT;

#ifdef __APPLE__
// macOS has no unnamed semaphores (sem_init fails there): the lock is a mutex, and
// hSemaphore is kept only as the exported name.
pthread_mutex_t gLogMutex = PTHREAD_MUTEX_INITIALIZER;

void ensureLock() {}
void lock() { pthread_mutex_lock(&gLogMutex); }
void unlock() { pthread_mutex_unlock(&gLogMutex); }
#else
void ensureLock()
{
    pthread_once(&gLockOnce, [] { sem_init(&hSemaphore, 0, 1); });
}

void lock()
{
    while (sem_wait(&hSemaphore) != 0 && errno == EINTR) {
    }
}

void unlock() { sem_post(&hSemaphore); }
#endif

// Writes "<time>\t" and, unless text is null, "<text>\n"; the caller holds the lock.
void writeStamped(const char *text)
{
    time_t now = time(nullptr);
    char stamp[32];
    // ctime's text is 24 characters plus its line feed; the line feed is cut off.
    const char *t = ctime(&now);
    if (t == nullptr) {
        t = "";
    }
    snprintf(stamp, sizeof stamp, "%s", t);
    size_t len = strlen(stamp);
    if (len > 0) {
        stamp[len - 1] = '\0';
    }
    if (text != nullptr) {
        fprintf(fpLOGFILEUI, "%s\t%s\n", stamp, text);
    } else {
        fprintf(fpLOGFILEUI, "%s\t", stamp);
    }
    fflush(fpLOGFILEUI);
}

FILE *loadLog() { return __atomic_load_n(&fpLOGFILEUI, __ATOMIC_ACQUIRE); }
void storeLog(FILE *fp) { __atomic_store_n(&fpLOGFILEUI, fp, __ATOMIC_RELEASE); }

void printLine(const char *text)
{
    if (loadLog() == nullptr) {
        return;
    }
    lock();
    // Tested again under the lock: a close on another thread may have won the race.
    if (fpLOGFILEUI != nullptr) {
        writeStamped(text != nullptr ? text : "(null)");
    }
    unlock();
}

// --- trimming ---------------------------------------------------------------------------

constexpr size_t kChunk = 64 * 1024;

bool isLineEnd(unsigned char c) { return c == '\n' || c == '\0'; }

// One past the last line end in [0, last] of the file, or 0 when there is none; reads
// backwards from last so that only the stretch behind the cut is looked at. -1 on error.
long long lastLineEndUpTo(int fd, long long last, unsigned char *buf)
{
    long long end = last + 1; // exclusive
    while (end > 0) {
        long long start = end > static_cast<long long>(kChunk) ? end - static_cast<long long>(kChunk) : 0;
        size_t want = static_cast<size_t>(end - start);
        ssize_t got = pread(fd, buf, want, start);
        if (got < 0) {
            return -1;
        }
        for (ssize_t i = got; i > 0; --i) {
            if (isLineEnd(buf[i - 1])) {
                return start + i;
            }
        }
        end = start;
    }
    return 0;
}

// Copies the kept text [from, size) of fd to out, ending it where the trimming rule says:
// one past the first line end at kept offset 1,400,001 or later, else one past the last line
// end at kept offsets 0..1,400,000, else nothing. Returns the bytes kept, or -1 on error.
long long copyKept(int fd, long long from, long long size, FILE *out, unsigned char *buf)
{
    const long long limit = kLogTrimSize; // last kept offset of the first search
    long long lastEnd = 0;                // one past the last line end seen at offsets <= limit
    long long off = 0; // kept offset of buf[0]
    while (from + off < size) {
        size_t want = static_cast<size_t>(size - from - off < static_cast<long long>(kChunk)
                                              ? size - from - off
                                              : static_cast<long long>(kChunk));
        ssize_t got = pread(fd, buf, want, from + off);
        if (got <= 0) {
            break; // the file ended early: what was read is all there is
        }
        size_t n = static_cast<size_t>(got);
        size_t take = n; // bytes of this chunk that end up in the output, if it ends here
        bool done = false;
        for (size_t i = 0; i < n; ++i) {
            long long pos = off + static_cast<long long>(i);
            if (!isLineEnd(buf[i])) {
                continue;
            }
            if (pos <= limit) {
                lastEnd = pos + 1;
            } else {
                lastEnd = pos + 1;
                take = i + 1;
                done = true;
                break;
            }
        }
        if (fwrite(buf, 1, take, out) != take) {
            return -1;
        }
        off += static_cast<long long>(n);
        if (done) {
            return lastEnd;
        }
    }
    return lastEnd;
}

// Fills a format holding one conversion into a 512-byte line (cut to fit) and writes it.
template <typename T>
void printValue(const char *format, T value)
{
    if (loadLog() == nullptr || format == nullptr) {
        return;
    }
    char line[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    snprintf(line, sizeof line, format, value);
#pragma GCC diagnostic pop
    printLine(line);
}

} // namespace

LogFileUI::LogFileUI() { storeLog(nullptr); }

bool LogFileUI::isOpen() { return loadLog() != nullptr; }

LogFileUI::~LogFileUI() = default;

void LogFileUI::init(char *buf)
{
    ensureLock();
    if (buf == nullptr) {
        return;
    }
    memcpy(buf, LOGFILENAME, sizeof LOGFILENAME);
    FILE *fp = fopen(buf, "a+");
    lock();
    // A stream held before would be unreachable once replaced: close it rather than leak it.
    if (fpLOGFILEUI != nullptr) {
        fclose(fpLOGFILEUI);
    }
    storeLog(fp);
    unlock();
    if (fp != nullptr) {
        print(const_cast<char *>(kBanner));
    }
}

void LogFileUI::print(char *text) { printLine(text); }

int LogFileUI::close(char * /*unused*/)
{
    ensureLock();
    int rc = 0;
    lock();
    if (fpLOGFILEUI != nullptr) {
        rc = fclose(fpLOGFILEUI);
        storeLog(nullptr);
    }
    unlock();
    return rc;
}

void LogFileUI::prn_time()
{
    if (loadLog() == nullptr) {
        return;
    }
    lock();
    if (fpLOGFILEUI != nullptr) {
        writeStamped(nullptr);
    }
    unlock();
}

void LogFileUI::print_code(char *format, int value) { printValue(format, value); }

void LogFileUI::print_code(char *format, double value) { printValue(format, value); }

long LogFileUI::calc_pos(int n)
{
    if (loadLog() == nullptr) {
        return 0;
    }
    ensureLock();
    lock();
    long pos = 0;
    FILE *fp = fpLOGFILEUI;
    if (fp != nullptr) {
        fseek(fp, 0, SEEK_SET);
        for (;;) {
            long p = ftell(fp);
            // Compared as 32-bit numbers, as the offset was given.
            int32_t p32 = static_cast<int32_t>(p);
            if (p32 >= n) {
                break;
            }
            if (p32 < 0) {
                fseek(fp, 0, SEEK_END);
                break;
            }
            if (fscanf(fp, "%*s") == EOF) {
                break;
            }
        }
        pos = ftell(fp);
        // A positioning call between this reading and the next line's write keeps the
        // stream's read/write switch well defined.
        fseek(fp, 0, SEEK_CUR);
    }
    unlock();
    return pos;
}

void LogFileUI::check_len(char *dir)
{
    if (dir == nullptr) {
        return;
    }
    ensureLock();
    // The caller guarantees room for "/" + the name + NUL behind its text.
    size_t dlen = strlen(dir);
    dir[dlen] = '/';
    memcpy(dir + dlen + 1, LOGFILENAME, sizeof LOGFILENAME);
    const char *path = dir;

    lock();
    if (fpLOGFILEUI != nullptr) {
        fclose(fpLOGFILEUI); // replaced below; nothing could write to it any more
    }
    FILE *fp = fopen(path, "r+b");
    storeLog(fp);
    if (fp == nullptr) {
        unlock();
        return;
    }
    fseek(fp, 0, SEEK_END);
    long long size = ftello(fp);
    if (size < kLogTrimSize) {
        unlock();
        return; // untouched, open at its end
    }

    // The trimmed text is written beside the log and renamed over it, so that a process that
    // dies during the rewrite leaves either the old log or the new one, never a torn one.
    char tmp[PATH_MAX];
    int tlen = snprintf(tmp, sizeof tmp, "%s.trim-XXXXXX", path);
    unsigned char *buf = new (std::nothrow) unsigned char[kChunk];
    int tfd = -1;
    if (buf != nullptr && tlen > 0 && static_cast<size_t>(tlen) < sizeof tmp) {
        tfd = mkstemp(tmp);
    }
    if (tfd < 0) {
        // Nothing can be written beside the log: keep it as it is, open at its end.
        delete[] buf;
        unlock();
        return;
    }
    FILE *out = fdopen(tfd, "wb");
    int fd = fileno(fp);
    long long cut = lastLineEndUpTo(fd, size - kLogTrimSize, buf);
    long long kept = -1;
    if (out != nullptr && cut >= 0) {
        kept = copyKept(fd, cut, size, out, buf);
    }
    bool ok = kept >= 0 && fflush(out) == 0 && ftruncate(tfd, static_cast<off_t>(kept)) == 0 &&
              fseeko(out, 0, SEEK_END) == 0 && fsync(tfd) == 0;
    if (ok) {
        struct stat st;
        if (fstat(fd, &st) == 0) {
            fchmod(tfd, st.st_mode & 07777);
        }
        ok = rename(tmp, path) == 0;
    }
    delete[] buf;
    if (ok) {
        fclose(fp);
        storeLog(out); // positioned after the written text
    } else {
        if (out != nullptr) {
            fclose(out);
        } else {
            ::close(tfd);
        }
        unlink(tmp);
        fseek(fp, 0, SEEK_END); // the old log stays, open at its end
    }
    unlock();
}

int msleep(unsigned long ms)
{
    timespec ts;
    int32_t seconds = static_cast<int32_t>(ms / 1000);
    ts.tv_sec = seconds;
    ts.tv_nsec = static_cast<long>((ms - static_cast<unsigned long>(seconds) * 1000UL) * 1000000UL);
    // One sleep: a signal that cuts it short ends the pause.
    nanosleep(&ts, nullptr);
    return 1;
}
