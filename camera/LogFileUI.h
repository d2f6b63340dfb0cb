// The camera library's log file "HIDWrapperJ.log": one time-stamped line per write.
// All state is process-wide (the three globals below); the class only groups the operations.
#ifndef NEMBREL_LOGFILEUI_H
#define NEMBREL_LOGFILEUI_H

#include <semaphore.h>
#include <cstdio>

#include "NembrelExport.h"

// The open log, or null while no log is open.
extern NEMBREL_API FILE *fpLOGFILEUI;
// The log lock: every line write, the close and the trim hold it.
extern NEMBREL_API sem_t hSemaphore;
// The bare file name: the log lies in the process's working directory.
extern NEMBREL_API char LOGFILENAME[16];

// The size that check_len trims an existing log down to (whole lines).
constexpr long kLogTrimSize = 1400000;

class NEMBREL_API LogFileUI {
public:
    LogFileUI();
    ~LogFileUI();

    // Composes the log's name in buf (at least 16 bytes), opens the log for appending and
    // writes the banner. Creates the lock only the first time.
    static void init(char *buf);
    // Whether a log is open now; safe to ask from any thread.
    static bool isOpen();
    // Writes "<ctime>\t<text>\n" and flushes; does nothing while no log is open.
    static void print(char *text);
    // Closes the log; the result of fclose, or 0 when no log was open. The text is unused.
    static int close(char *unused);
    // Writes "<ctime>\t" alone, so that the next write continues the line.
    static void prn_time();
    // Fills a format holding one int (or one double) conversion and writes it as a line.
    static void print_code(char *format, int value);
    static void print_code(char *format, double value);
    // Moves the log to the end of the first word ending at or beyond offset n; 0 if no log.
    static long calc_pos(int n);
    // Opens <dir>/HIDWrapperJ.log as the log and trims it to its newest ~1.4 MB of whole lines.
    // dir must have room for its text plus 17 bytes: the file name is appended in place.
    static void check_len(char *dir);
};

// Pauses the calling thread for ms milliseconds with one nanosleep; always 1.
NEMBREL_API int msleep(unsigned long ms);

#endif
