#include "gui/Autostart.h"

#include "util/AppFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// A string value of a desktop entry: one line, backslashes escaped.
std::string EntryString(const std::string& strValue) {
    std::string strOut;
    for (char c : strValue) {
        switch (c) {
            case '\\': strOut += "\\\\"; break;
            case '\n': strOut += "\\n"; break;
            case '\r': strOut += "\\r"; break;
            case '\t': strOut += "\\t"; break;
            default: strOut += c;
        }
    }
    return strOut;
}

// The program as the one argument of Exec: quoted, with the characters that quoting
// leaves special escaped, then as a string value.
std::string ExecArgument(const std::string& strProgram) {
    std::string strQuoted = "\"";
    for (char c : strProgram) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            strQuoted += '\\';
        }
        strQuoted += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return EntryString(strQuoted + "\"");
}

}  // namespace

std::string AutostartFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
           "/autostart/vocalon.desktop";
}

bool IsAutostartOn() { return QFileInfo::exists(QString::fromStdString(AutostartFile())); }

bool SetAutostart(bool bOn, const std::string& strProgram, const std::string& strWorkDir) {
    const QString strFile = QString::fromStdString(AutostartFile());
    if (!bOn) {
        return !QFileInfo::exists(strFile) || QFile::remove(strFile);
    }
    const std::string strEntry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Vocalon\n"
        "Comment=News ticker in the tray with a chat room for every "
        "article\n"
        "Exec=" +
        ExecArgument(strProgram) +
        "\n"
        "Path=" +
        EntryString(strWorkDir) +
        "\n"
        "Icon=vocalon\n"
        "Terminal=false\n";
    return QDir().mkpath(QFileInfo(strFile).absolutePath()) &&
           SaveTextFile(strFile.toStdString(), strEntry);
}
