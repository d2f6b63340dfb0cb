// The camera library's plain exports, for C and C++ callers that are not a Java host.
#ifndef NEMBREL_H
#define NEMBREL_H

#ifdef __cplusplus
extern "C" {
#endif

int init(void);                 // order number (+1000 for the Somia model), 0 or -1
int selectDevice(void);         // 1 connected, 0 not
int openDevice(void);           // 1 camera open and brought up, 0 no camera open
int setExtended(void);          // 1 written or tried, 0 already on or no camera
int unselect(void);             // always 0; closes the log
int getStatus(void);            // status byte 0..255, or -1
int getSerialNumber(char *dst, int n); // always 1
int resume(void);               // 1 with a camera open, else 0
int toggleLight(void);          // 2 written, 0 not
int toggleZoom(void);           // 2 written, 0 not

#ifdef __cplusplus
}
#endif

#endif
