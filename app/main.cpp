#include "app/CClientApp.h"
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <cstring>
#include <iostream>

namespace {

// Started from the menu (or the desktop's autostart), the working directory is the home
// folder, where the news files have no place: the program's own data directory is its
// application directory then. Should it not be made, the program stays where it is.
void EnterMenuDirectory() {
    const QString strDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/vocalon";
    if (QDir().mkpath(strDir)) {
        QDir::setCurrent(strDir);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The file commands need no display: they run before any window is possible.
    if (IsFileCommand(argc, argv)) {
        QCoreApplication app(argc, argv);
        CClientApp::NameApplication();
        return RunFileCommand(QCoreApplication::arguments(), std::cout, std::cerr);
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--from-menu") == 0) {
            EnterMenuDirectory();
        }
    }
    // No shared OpenGL contexts are asked for: they would load the whole OpenGL stack at
    // start-up. The web engine, loaded later with the first chat window, draws without.
    CClientApp app(argc, argv);
    return app.InitInstance();
}
