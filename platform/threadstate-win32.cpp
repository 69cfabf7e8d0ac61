// Win32 keeps no descriptors of its own between calls for a thread to give up.
#include "platform/platform.h"

void ReleaseThreadState() {}
