// Calls restartWithSingleThreadedOpenMp() as main() does, then prints what
// the OpenMP runtime ended up with and the arguments it was given:
//   <omp_get_thread_limit()>|<OMP_THREAD_LIMIT or "unset">|<arg1>|<arg2>...

#include "clipboard/tesseract/OpenMpEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <omp.h>

int main(int argc, char *argv[])
{
    restartWithSingleThreadedOpenMp(argv);
    const char *limit = std::getenv("OMP_THREAD_LIMIT");
    std::printf("%d|%s", omp_get_thread_limit(), limit ? limit : "unset");
    for (int i = 1; i < argc; ++i)
        std::printf("|%s", argv[i]);
    std::printf("\n");
    return 0;
}
