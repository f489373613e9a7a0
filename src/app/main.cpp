#include "app/HalvexApp.h"
#include "app/HeapTuning.h"
#include "clipboard/tesseract/OpenMpEnvironment.h"

int main(int argc, char *argv[])
{
    // Before anything else: may re-execute the program.
    restartWithSingleThreadedOpenMp(argv);
    returnFreedMemoryPromptly();
    return HalvexApp::run(argc, argv);
}
