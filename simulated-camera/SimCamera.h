/* The simulated camera: a stand-in for hidapi with a model of the two cameras behind it.
 *
 * Built as libsimcamera.so, it exports the hidapi functions that the camera library calls.
 * Loaded before hidapi (LD_PRELOAD, or linked into a test ahead of libNembrel.so) it takes
 * hidapi's place, so the shipped library is tested as it is.  It also takes the place of
 * nanosleep for calls made from libNembrel.so: those pauses are recorded on a virtual clock
 * and return at once (SIMCAM_REAL_SLEEP=1 makes them real again); every other caller in the
 * process sleeps for real.
 *
 * The device list holds any number of entries. Opening the path of an entry with a camera
 * identity reaches the camera model:
 *
 *   state s, the camera's status byte, starts at 0x00 (powered off). On each output report
 *   the camera looks at its command byte c (the byte after the report ID) and then queues one
 *   status report (s, followed by zeros, report_length bytes):
 *     0x01        power on: s |= 0x01. Answered with two reports, the state it woke in and
 *                 then the new one (a backlog for the power-on drain to work off).
 *     0x13        extended mode: s |= 0x13 (extended mode comes up with power and light).
 *     0x00, 0x02  power off: s = 0x00.
 *     0x04        freeze: s |= 0x08.          0x08  unfreeze: s &= ~0x08.
 *     0x40        save: s unchanged; the Somia model first queues a 7-byte notice
 *                 (0xA5 ...) that carries no status.
 *     other       a state word: s = (c & 0x1E) | (s & 0x01); power changes only by the
 *                 power commands.
 *   A powered-off camera answers nothing but power on and extended mode.
 *   Input reports are report_length bytes: 64 for the Panasonic model, 16 for the Somia model.
 *
 * Without any call of the control functions below, the environment sets up the devices:
 *   SIMCAM=panasonic | somia | both | none | other   (default: panasonic)
 *   SIMCAM_RECORD=<file>   appends "write <len> <hex bytes>" and "pause <ms>" lines there.
 */
#ifndef SIMCAMERA_H
#define SIMCAMERA_H

#include <stddef.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

enum simcam_model { SIMCAM_NONE = 0, SIMCAM_PANASONIC = 1, SIMCAM_SOMIA = 2 };

/* Empties the device list, clears every fault, record and queued report, sets the clock to 0. */
void simcam_reset(void);

/* Adds an entry at the end of the list; returns its position (1 for the first). A null path
 * gets "/dev/hidrawN". manufacturer may be null. */
int simcam_add_device(unsigned short vendor_id, unsigned short product_id,
                      unsigned short usage_page, const wchar_t *manufacturer, const char *path);
/* Adds an entry with a camera's identity (and a manufacturer text for the Panasonic model). */
int simcam_add_camera(enum simcam_model model, unsigned short usage_page);
/* hid_enumerate gives null although devices are listed. */
void simcam_fail_enumerate(int on);

/* Faults; a count of -1 means every call from now on, 0 clears the fault. */
void simcam_fail_opens(int count);
void simcam_fail_writes(int count);
void simcam_fail_reads(int count);
void simcam_close_throws(int count); /* the close still releases the device, then throws */
/* Unplugged: opens fail, writes and reads of open handles fail, until plugged in again. */
void simcam_unplug(void);
void simcam_plug(void);
/* Unplugs the camera right before the n-th hid_* call that touches a device from now on
 * (write, read, open, set_nonblocking, close; 1 = the next one). 0 disarms. */
void simcam_unplug_before_call(int n);
int simcam_unplugged(void);

/* The text that hid_error gives; null makes it give null. Default: "Success" or, once a
 * call failed, the failure's text. */
void simcam_set_error(const wchar_t *text);
void simcam_clear_error(void);

/* The camera model. */
void simcam_set_answers(int on);          /* 0: the camera queues no report of its own */
void simcam_set_state(unsigned char s);
unsigned char simcam_state(void);
void simcam_set_report_length(size_t n);  /* 0 restores the model's own length */
/* Queues one input report of any length (0..256 bytes). */
void simcam_queue_report(const unsigned char *bytes, size_t n);
size_t simcam_queued(void);
int simcam_saves(void);

/* Records. */
size_t simcam_write_count(void);
/* The i-th report written (as handed to hid_write, report ID included) and its length. */
const unsigned char *simcam_write_at(size_t i, size_t *length);
size_t simcam_pause_count(void);
unsigned long simcam_pause_ms_at(size_t i); /* the pause as requested, in milliseconds */
unsigned long long simcam_pause_ns_at(size_t i); /* the same, in nanoseconds */
unsigned long long simcam_clock_ns(void);  /* virtual time slept so far */
int simcam_open_count(void);               /* successful opens */
int simcam_close_count(void);
int simcam_handles_open(void);             /* handles opened and not yet closed */
int simcam_nonblocking(void);              /* the last handle's mode */
void simcam_clear_records(void);

#ifdef __cplusplus
}
#endif

#endif
