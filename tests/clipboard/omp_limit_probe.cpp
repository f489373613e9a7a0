// Calls restartWithSingleThreadedOpenMp() as main() does, then prints what
// the OpenMP runtime ended up with and the arguments it was given:
//   <omp_get_thread_limit()>|<OMP_THREAD_LIMIT or "unset">|<process name>|<arg1>|<arg2>...

#include "clipboard/tesseract/OpenMpEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <omp.h>

int main(int argc, char *argv[])
{
    restartWithSingleThreadedOpenMp(argv);
    const char *limit = std::getenv("OMP_THREAD_LIMIT");
    // The name ps and pgrep show, as the kernel keeps it.
    char name[64] = "";
    if (std::FILE *comm = std::fopen("/proc/self/comm", "r")) {
        if (std::fgets(name, sizeof name, comm))
            name[std::strcspn(name, "\n")] = '\0';
        std::fclose(comm);
    }
    std::printf("%d|%s|%s", omp_get_thread_limit(), limit ? limit : "unset", name);
    for (int i = 1; i < argc; ++i)
        std::printf("|%s", argv[i]);
    std::printf("\n");
    return 0;
}
