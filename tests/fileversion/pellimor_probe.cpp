// Prints the file version of each path argument, one line each, as the export would give it;
// used by the check against python3-pefile.
#include <cstdio>

#include "PellimorInternal.h"

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        unsigned parts[4] = {0, 0, 0, 0};
        GetFileVersionParts(argv[i], &parts[0], &parts[1], &parts[2], &parts[3]);
        std::printf("%u.%u.%u.%u\t%s\n", parts[0], parts[1], parts[2], parts[3], argv[i]);
    }
    return 0;
}
