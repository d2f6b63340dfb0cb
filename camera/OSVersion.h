#ifndef NEMBREL_OSVERSION_H
#define NEMBREL_OSVERSION_H
// The running operating system's version as major, minor and patch; 0.0.0 when unknown.
void osVersion(int *major, int *minor, int *patch);
#endif
