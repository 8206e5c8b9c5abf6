#include "app/CClientApp.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    // The chat window's web pages share GL contexts with the widgets; it must be asked
    // for before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CClientApp app(argc, argv);
    return app.InitInstance();
}
