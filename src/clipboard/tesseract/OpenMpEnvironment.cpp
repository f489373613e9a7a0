#include "clipboard/tesseract/OpenMpEnvironment.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

void restartWithSingleThreadedOpenMp(char *argv[])
{
    if (std::getenv("OMP_THREAD_LIMIT"))
        return;
    if (setenv("OMP_THREAD_LIMIT", "1", 1) != 0)
        return;
    // /proc/self/exe is this very binary even when argv[0] is a bare name
    // looked up in PATH or a relative path.
    execv("/proc/self/exe", argv);
    // Still here: carry on with the limit unset for the runtime already loaded.
    std::fprintf(stderr, "halvex: could not restart with OMP_THREAD_LIMIT=1: %s\n", std::strerror(errno));
}
