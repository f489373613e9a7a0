#include "app/HalvexApp.h"
#include "app/HeapTuning.h"

int main(int argc, char *argv[])
{
    returnFreedMemoryPromptly();
    // Restarts itself with a single-threaded OpenMP once it knows it runs
    // Halvex (HalvexApp::run), not for --help or a hand-over to a running one.
    return HalvexApp::run(argc, argv);
}
