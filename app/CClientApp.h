#pragma once

// The application object: refuses a second copy, prepares sockets and settings, records
// the working directory as the application directory and runs the login window, which
// is the main window for the whole life of the process. When its loop ends the worker
// threads are stopped and joined (CWorkers) before anything static is destroyed.

#include <QApplication>

class CClientApp final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CClientApp)

public:
    CClientApp(int& argc, char** argv);

    // Runs the program; returns the process exit code.
    int InitInstance();

    // Names the running application as the settings store knows it.
    static void NameApplication();
};
