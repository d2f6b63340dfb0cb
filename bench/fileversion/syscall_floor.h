#ifndef SYSCALL_FLOOR_H
#define SYSCALL_FLOOR_H
#ifdef __cplusplus
extern "C" {
#endif
int syscall_floor(const char *path, unsigned reads, unsigned long long bytes);
#ifdef __cplusplus
}
#endif
#endif
