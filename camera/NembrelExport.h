#ifndef NEMBREL_EXPORT_H
#define NEMBREL_EXPORT_H
// Everything the host or a tool may bind to is exported by name; the rest stays hidden.
#define NEMBREL_API __attribute__((visibility("default")))
#endif
