#include "app/CClientApp.h"
#include "app/CommandLine.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv) {
    // The file commands need no display: they run before any window is possible.
    if (IsFileCommand(argc, argv)) {
        QCoreApplication app(argc, argv);
        CClientApp::NameApplication();
        return RunFileCommand(QCoreApplication::arguments(), std::cout, std::cerr);
    }
    // No shared OpenGL contexts are asked for: they would load the whole OpenGL stack at
    // start-up. The web engine, loaded later with the first chat window, draws without.
    CClientApp app(argc, argv);
    return app.InitInstance();
}
