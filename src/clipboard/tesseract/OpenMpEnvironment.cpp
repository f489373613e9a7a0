#include "clipboard/tesseract/OpenMpEnvironment.h"

#include <cerrno>
#include <climits>
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
    // The binary's own path, even when argv[0] is a bare name looked up in
    // PATH or a relative path. Executing that path (rather than
    // /proc/self/exe, which would name the process "exe") keeps the process
    // name that ps, pgrep and killall match; argv[0] is passed on unchanged.
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        // A binary replaced or removed since it started reads "... (deleted)".
        if (!std::strstr(path, " (deleted)"))
            execv(path, argv);
    }
    // The file was replaced or removed since it started: the running image
    // is still reachable here.
    execv("/proc/self/exe", argv);
    // Still here: carry on with the limit unset for the runtime already loaded.
    std::fprintf(stderr, "halvex: could not restart with OMP_THREAD_LIMIT=1: %s\n", std::strerror(errno));
}
