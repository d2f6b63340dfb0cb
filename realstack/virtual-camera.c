/* virtual-camera: the Panasonic or Somia camera as a virtual HID device on /dev/uhid.
 *
 *   virtual-camera --model panasonic|somia --record FILE [--unplug-after N] [--descriptor-input N]
 *
 * Creates a USB HID device with the model's identity and a vendor-defined report descriptor,
 * then answers the output reports that reach it (hidraw write -> UHID_OUTPUT) with status input
 * reports (UHID_INPUT2), by the camera model of simulated-camera/SimCamera.h:
 *
 *   state s starts at 0x00 (powered off). Command byte c is the byte after the report ID:
 *     0x01        power on: s |= 0x01; answered with two reports, the old state then the new.
 *     0x13        extended mode: s |= 0x13.
 *     0x00, 0x02  power off: s = 0x00.
 *     0x04        freeze: s |= 0x08.          0x08  unfreeze: s &= ~0x08.
 *     0x40        save: s unchanged; the Somia model first sends a 7-byte notice 0xA5 ...
 *     other       a state word: s = (c & 0x1E) | (s & 0x01).
 *   A powered-off camera answers nothing but power on and extended mode. Every answer is one
 *   status report of the model's input length (64 bytes Panasonic, 16 Somia), s then zeros.
 *
 * uhid hands over an output report as hidraw got it, report-ID byte 0x00 first; a USB camera
 * receives only the bytes behind it, so byte 0 is skipped before the command byte is read.
 *
 * FILE gets one line per event, flushed at once: "start", "open", "close", "stop",
 * "write <len> <hex bytes>" (the report as uhid handed it over, byte 0 included, in the format
 * of the simulated camera's SIMCAM_RECORD), "answer <len> <first byte>", "destroy".
 * The device destroys itself (UHID_DESTROY: the camera is unplugged) on SIGTERM, SIGINT or
 * SIGUSR1, or right after recording the N-th output report (that report gets no answer).
 * The process ends when the device is destroyed or /dev/uhid hangs up.
 *
 * --descriptor-input N declares an input report of N bytes in the report descriptor instead of
 * the model's length (the reports sent stay as the model has them). The kernel drops an input
 * report shorter than the declared one ("Event data for report 0 was too short"), so the Somia
 * model's 7-byte notice reaches hidraw only when N is 7 or less.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/signalfd.h>
#include <unistd.h>

#ifndef BUS_USB
#define BUS_USB 0x03
#endif

enum { PANASONIC_INPUT_LENGTH = 64, SOMIA_INPUT_LENGTH = 16, OUTPUT_LENGTH = 15 };

/* The report descriptor: one vendor-defined application collection with an unnumbered input
 * report (the status report) and an unnumbered output report (the command report). Byte 15,
 * the input Report Count, is set to the model's input length at start-up. The output report
 * holds 15 bytes: with the report-ID byte 0x00 that hidraw takes in front, 16 bytes, the
 * longest report the library writes (the Somia power-on). Shorter writes (2, 14) are passed on
 * by hidraw and uhid as they are, neither padded nor refused. */
static unsigned char descriptor[] = {
    0x06, 0x00, 0xFF, /* Usage Page (Vendor Defined 0xFF00): 0x06 = global item, 2 data bytes */
    0x09, 0x01,       /* Usage (0x01): local item, 1 data byte                                 */
    0xA1, 0x01,       /* Collection (Application)                                              */
    0x15, 0x00,       /*   Logical Minimum (0)                                                 */
    0x26, 0xFF, 0x00, /*   Logical Maximum (255): 2 data bytes, so 255 is not read as -1       */
    0x75, 0x08,       /*   Report Size (8): fields of 8 bits                                   */
    0x95, 0x40,       /*   Report Count (64): byte 15 is the count; patched for Somia to 16    */
    0x09, 0x01,       /*   Usage (0x01)                                                        */
    0x81, 0x02,       /*   Input (Data, Variable, Absolute): the status report                 */
    0x95, OUTPUT_LENGTH, /* Report Count (15)                                                  */
    0x09, 0x02,       /*   Usage (0x02)                                                        */
    0x91, 0x02,       /*   Output (Data, Variable, Absolute): the command report               */
    0xC0,             /* End Collection                                                        */
};
enum { INPUT_COUNT_BYTE = 15 };

static FILE *record;
static int uhid = -1;
static int somia;
static unsigned char state;

static void note(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    vfprintf(record, format, ap);
    va_end(ap);
    fputc('\n', record);
    fflush(record);
}

static int send_event(const struct uhid_event *ev)
{
    ssize_t n = write(uhid, ev, sizeof *ev);
    if (n != (ssize_t)sizeof *ev) {
        fprintf(stderr, "virtual-camera: uhid write (event %u): %s\n", ev->type,
                n < 0 ? strerror(errno) : "short write");
        return -1;
    }
    return 0;
}

static void send_input(const unsigned char *bytes, size_t n)
{
    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_INPUT2;
    ev.u.input2.size = (unsigned short)n;
    memcpy(ev.u.input2.data, bytes, n);
    if (send_event(&ev) == 0) {
        note("answer %zu %02x", n, bytes[0]);
    }
}

static void send_status(unsigned char s)
{
    unsigned char report[PANASONIC_INPUT_LENGTH];
    memset(report, 0, sizeof report);
    report[0] = s;
    send_input(report, somia ? SOMIA_INPUT_LENGTH : PANASONIC_INPUT_LENGTH);
}

/* The camera model: one output report as uhid handed it over, report-ID byte first. */
static void camera(const unsigned char *data, size_t length)
{
    if (length < 2) {
        return; /* the report ID alone carries no command */
    }
    unsigned char c = data[1];
    int powered = (state & 0x01) != 0;
    unsigned char before = state;
    switch (c) {
    case 0x01:
        state |= 0x01;
        send_status(before);
        break;
    case 0x13:
        state |= 0x13;
        break;
    case 0x00:
    case 0x02:
        if (!powered) {
            return;
        }
        state = 0;
        break;
    default:
        if (!powered) {
            return;
        }
        if (c == 0x04) {
            state |= 0x08;
        } else if (c == 0x08) {
            state &= (unsigned char)~0x08;
        } else if (c == 0x40) {
            if (somia) {
                unsigned char notice[7] = {0xA5};
                send_input(notice, sizeof notice);
            }
        } else {
            state = (unsigned char)((c & 0x1E) | (state & 0x01));
        }
        break;
    }
    send_status(state);
}

static void destroy(void)
{
    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_DESTROY;
    send_event(&ev);
    note("destroy");
}

static int usage(void)
{
    fprintf(stderr, "usage: virtual-camera --model panasonic|somia --record FILE [--unplug-after N]"
                    " [--descriptor-input N]\n");
    return 2;
}

int main(int argc, char **argv)
{
    const char *model = NULL, *path = NULL;
    long unplug_after = 0, descriptor_input = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--model") == 0 && i + 1 < argc) {
            model = argv[++i];
        } else if (strcmp(argv[i], "--record") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (strcmp(argv[i], "--unplug-after") == 0 && i + 1 < argc) {
            unplug_after = strtol(argv[++i], NULL, 10);
        } else if (strcmp(argv[i], "--descriptor-input") == 0 && i + 1 < argc) {
            descriptor_input = strtol(argv[++i], NULL, 10);
            if (descriptor_input < 1 || descriptor_input > 255) {
                return usage();
            }
        } else {
            return usage();
        }
    }
    if (model == NULL || path == NULL) {
        return usage();
    }
    if (strcmp(model, "somia") == 0) {
        somia = 1;
    } else if (strcmp(model, "panasonic") != 0) {
        return usage();
    }
    record = fopen(path, "a");
    if (record == NULL) {
        fprintf(stderr, "virtual-camera: %s: %s\n", path, strerror(errno));
        return 1;
    }

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGUSR1);
    sigprocmask(SIG_BLOCK, &signals, NULL);
    int sfd = signalfd(-1, &signals, SFD_CLOEXEC);

    uhid = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (uhid < 0 || sfd < 0) {
        fprintf(stderr, "virtual-camera: /dev/uhid: %s\n", strerror(errno));
        return 1;
    }

    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_CREATE2;
    snprintf((char *)ev.u.create2.name, sizeof ev.u.create2.name, "%s",
             somia ? "Somia intraoral camera (virtual)" : "Panasonic intraoral camera (virtual)");
    snprintf((char *)ev.u.create2.phys, sizeof ev.u.create2.phys, "virtual-camera/%d", (int)getpid());
    ev.u.create2.bus = BUS_USB;
    ev.u.create2.vendor = somia ? 0x301C : 0x04DA;
    ev.u.create2.product = somia ? 0xDA11 : 0x091A;
    ev.u.create2.version = 0x0100;
    descriptor[INPUT_COUNT_BYTE] = descriptor_input > 0 ? (unsigned char)descriptor_input
                                   : somia ? SOMIA_INPUT_LENGTH : PANASONIC_INPUT_LENGTH;
    ev.u.create2.rd_size = sizeof descriptor;
    memcpy(ev.u.create2.rd_data, descriptor, sizeof descriptor);
    if (send_event(&ev) != 0) {
        return 1;
    }

    long outputs = 0;
    for (;;) {
        struct pollfd fds[2] = {{uhid, POLLIN, 0}, {sfd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            fprintf(stderr, "virtual-camera: poll: %s\n", strerror(errno));
            break;
        }
        if (fds[1].revents & POLLIN) {
            struct signalfd_siginfo si;
            if (read(sfd, &si, sizeof si) == (ssize_t)sizeof si) {
                note("signal %u", si.ssi_signo);
            }
            destroy();
            break;
        }
        if (fds[0].revents & POLLIN) {
            memset(&ev, 0, sizeof ev);
            ssize_t n = read(uhid, &ev, sizeof ev);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    continue;
                }
                note("read error %d", errno);
                break;
            }
            if (n == 0) {
                note("hang-up");
                break;
            }
            switch (ev.type) {
            case UHID_START:
                note("start");
                break;
            case UHID_STOP:
                note("stop");
                break;
            case UHID_OPEN:
                note("open");
                break;
            case UHID_CLOSE:
                note("close");
                break;
            case UHID_OUTPUT: {
                size_t len = ev.u.output.size;
                if (len > UHID_DATA_MAX) {
                    len = UHID_DATA_MAX;
                }
                char line[16 + 3 * UHID_DATA_MAX];
                int used = snprintf(line, sizeof line, "write %zu", len);
                for (size_t i = 0; i < len && used > 0 && (size_t)used < sizeof line - 4; ++i) {
                    used += snprintf(line + used, sizeof line - (size_t)used, " %02x", ev.u.output.data[i]);
                }
                note("%s", line);
                if (ev.u.output.rtype != UHID_OUTPUT_REPORT) {
                    note("rtype %u", ev.u.output.rtype);
                }
                ++outputs;
                if (unplug_after > 0 && outputs >= unplug_after) {
                    destroy();
                    goto done;
                }
                camera(ev.u.output.data, len);
                break;
            }
            case UHID_GET_REPORT: {
                note("get_report %u", ev.u.get_report.rnum);
                struct uhid_event reply;
                memset(&reply, 0, sizeof reply);
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = ev.u.get_report.id;
                reply.u.get_report_reply.err = EIO;
                send_event(&reply);
                break;
            }
            case UHID_SET_REPORT: {
                note("set_report %u %u", ev.u.set_report.rnum, ev.u.set_report.size);
                struct uhid_event reply;
                memset(&reply, 0, sizeof reply);
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = ev.u.set_report.id;
                reply.u.set_report_reply.err = EIO;
                send_event(&reply);
                break;
            }
            default:
                note("event %u", ev.type);
                break;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            note("hang-up");
            break;
        }
    }
done:
    close(uhid);
    fclose(record);
    return 0;
}
