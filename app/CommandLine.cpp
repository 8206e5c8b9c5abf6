#include "app/CommandLine.h"

#include "news/Opml.h"
#include "news/OwnSources.h"
#include "util/AppFiles.h"
#include "util/Settings.h"

#include <QDir>
#include <QFile>

#include <ostream>
#include <string_view>

namespace {

constexpr std::string_view kImport = "--import-opml";
constexpr std::string_view kExport = "--export-opml";
// OPML files past this size are not read.
constexpr qint64 kMaxOpmlBytes = 16 << 20;

std::string Plural(size_t n, const char* pszVerb) {
    return std::to_string(n) + (n == 1 ? " source " : " sources ") + pszVerb;
}

int Import(const std::string& strUser, const QString& strPath, std::ostream& out,
           std::ostream& err) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "Cannot read " << strPath.toStdString() << "\n";
        return 1;
    }
    if (file.size() > kMaxOpmlBytes) {
        err << strPath.toStdString() << " is larger than 16 MB\n";
        return 1;
    }
    const QByteArray bytes = file.read(kMaxOpmlBytes);
    const COpmlResult result = ReadOpml(std::string_view(bytes.constData(), bytes.size()));
    if (result.status != EOpmlStatus::Ok) {
        err << strPath.toStdString() << ": " << result.strError << "\n";
        return 1;
    }
    const COwnSourcesChange change = AddOwnSources(strUser, result.sources);
    if (!change.bSaved || !ChooseSources(strUser, change.names)) {
        err << "Cannot write the sources of " << strUser << " in "
            << QDir::currentPath().toStdString() << "\n";
        return 1;
    }
    out << Plural(change.nAdded, "added") << "\n";
    return 0;
}

int Export(const std::string& strUser, const QString& strPath, std::ostream& out,
           std::ostream& err) {
    const CFeedSourceList sources = ChosenFeedSources(strUser);
    if (!SaveTextFile(strPath.toStdString(), WriteOpml(sources, "Vocalon sources of " + strUser))) {
        err << "Cannot write " << strPath.toStdString() << "\n";
        return 1;
    }
    out << Plural(sources.size(), "exported") << "\n";
    return 0;
}

}  // namespace

bool IsFileCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == kImport || argv[i] == kExport) {
            return true;
        }
    }
    return false;
}

int RunFileCommand(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() != 3 ||
        (arguments[1].toStdString() != kImport && arguments[1].toStdString() != kExport)) {
        err << "Usage: vocalon --import-opml FILE | --export-opml FILE\n";
        return 2;
    }
    const std::string strUser = ReadSetting(SETTING_USERNAME);
    if (strUser.empty()) {
        err << "No user yet: log in once, then try again.\n";
        return 1;
    }
    // The path is taken relative to where the command runs, before anything else is.
    const QString strPath = QDir::current().absoluteFilePath(arguments[2]);
    if (ReadSetting(SETTING_APP_DIR).empty()) {
        WriteSetting(SETTING_APP_DIR, QDir::currentPath().toStdString());
    }
    return arguments[1].toStdString() == kImport ? Import(strUser, strPath, out, err)
                                                 : Export(strUser, strPath, out, err);
}
