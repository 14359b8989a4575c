// vexgui: the desktop program of the system.
#include "gui/app/VexApp.h"

int main(int argc, char** argv) {
    return CVexApp::Main(argc, argv);
}
