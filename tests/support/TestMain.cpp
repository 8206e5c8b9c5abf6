// Entry point of every test program: Qt runs offscreen, and settings go to a private
// directory so tests never touch the user's own, nor the user's keyring.

#include "platform/CWorkers.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    setenv("XDG_RUNTIME_DIR", settingsDir.path().toLocal8Bit().constData(), 1);
    // The desktop's other files (the autostart entry) go there too.
    setenv("XDG_CONFIG_HOME", settingsDir.path().toLocal8Bit().constData(), 1);
    // No session bus: the tests never reach the desktop's keyring (tests of the keyring
    // start a bus of their own).
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    // A session's peer listener stays on loopback, off the real peer port.
    setenv("VOCALON_PEER_BIND", "127.0.0.1", 0);
    setenv("VOCALON_PEER_PORT", std::to_string(testing_support::UnusedPort()).c_str(), 0);
    QApplication app(argc, argv);
    const int nResult = RUN_ALL_TESTS();
    // As the program does at exit: no worker outlives the application object.
    CWorkers::StopAndJoin(std::chrono::seconds(60));
    return nResult;
}
