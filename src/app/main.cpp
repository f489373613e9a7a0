#include "app/HalvexApp.h"
#include "clipboard/tesseract/OpenMpEnvironment.h"

int main(int argc, char *argv[])
{
    // Before anything else: may re-execute the program.
    restartWithSingleThreadedOpenMp(argv);
    return HalvexApp::run(argc, argv);
}
