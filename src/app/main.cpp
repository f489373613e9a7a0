#include "app/HalvexApp.h"

int main(int argc, char *argv[])
{
    return HalvexApp::run(argc, argv);
}
