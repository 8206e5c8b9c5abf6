#include "app/CClientApp.h"

int main(int argc, char** argv) {
    // No shared OpenGL contexts are asked for: they would load the whole OpenGL stack at
    // start-up. The web engine, loaded later with the first chat window, draws without.
    CClientApp app(argc, argv);
    return app.InitInstance();
}
