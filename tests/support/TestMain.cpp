// Entry point of every test program: Qt runs offscreen, and settings go to a private
// directory so tests never touch the user's own.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleMock(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    setenv("XDG_RUNTIME_DIR", settingsDir.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
