#include "OSVersion.h"

#include <CoreServices/CoreServices.h>

// Gestalt's answers are taken as they come: a failed selector leaves its number at 0.
void osVersion(int *major, int *minor, int *patch)
{
    SInt32 v1 = 0, v2 = 0, v3 = 0;
    Gestalt(gestaltSystemVersionMajor, &v1);
    Gestalt(gestaltSystemVersionMinor, &v2);
    Gestalt(gestaltSystemVersionBugFix, &v3);
    *major = v1;
    *minor = v2;
    *patch = v3;
}
