#include "platform/Profile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace {

QSettings OpenStore() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Talvex", "vocalon");
}

// Escapes the characters QSettings would read as group separators, and the escape itself,
// so a section or entry name is always one flat key part.
QString KeyPart(const std::string& strName) {
    std::string strOut;
    strOut.reserve(strName.size());
    for (char c : strName) {
        switch (c) {
            case '%': strOut += "%25"; break;
            case '/': strOut += "%2F"; break;
            case '\\': strOut += "%5C"; break;
            default: strOut += c;
        }
    }
    return QString::fromUtf8(strOut);
}

QString Key(const std::string& strSection, const std::string& strEntry) {
    return KeyPart(strSection) + '/' + KeyPart(strEntry);
}

bool IsValidUtf8(const std::string& str) {
    QByteArray bytes = QByteArray::fromRawData(str.data(), static_cast<qsizetype>(str.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Create the file owner-only before QSettings first writes it; its atomic rewrites keep
// the permissions of the file they replace.
void PrepareFile(const QString& strPath) {
    if (!QFileInfo::exists(strPath)) {
        QDir().mkpath(QFileInfo(strPath).absolutePath());
        QFile file(strPath);
        if (file.open(QIODevice::WriteOnly)) {
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    }
}

bool Flush(QSettings& store) {
    store.sync();
    QFile::setPermissions(store.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return store.status() == QSettings::NoError;
}

// The store of this thread's open write batch, if any.
thread_local QSettings* t_pBatchStore = nullptr;

bool Store(const std::string& strSection, const std::string& strEntry, const QVariant& value) {
    if (t_pBatchStore) {
        t_pBatchStore->setValue(Key(strSection, strEntry), value);
        return true;
    }
    QSettings store = OpenStore();
    PrepareFile(store.fileName());
    store.setValue(Key(strSection, strEntry), value);
    return Flush(store);
}

}  // namespace

CProfileBatch::CProfileBatch() {
    if (t_pBatchStore) {
        return;  // nested: the outermost batch writes
    }
    m_pStore = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Talvex",
                                           "vocalon");
    PrepareFile(m_pStore->fileName());
    t_pBatchStore = m_pStore.get();
}

CProfileBatch::~CProfileBatch() {
    if (m_pStore) {
        t_pBatchStore = nullptr;
        Flush(*m_pStore);
    }
}

int GetProfileIntInRange(const std::string& strSection, const std::string& strEntry, int nDefault,
                         int nMin, int nMax) {
    return std::clamp(GetProfileInt(strSection, strEntry, nDefault), nMin, nMax);
}

int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault) {
    QVariant value = OpenStore().value(Key(strSection, strEntry));
    if (!value.isValid()) {
        return nDefault;
    }
    bool bOk = false;
    int nValue = value.toString().trimmed().toInt(&bOk);
    return bOk ? nValue : nDefault;
}

std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault) {
    QVariant value = OpenStore().value(Key(strSection, strEntry));
    if (!value.isValid()) {
        return strDefault;
    }
    if (value.typeId() == QMetaType::QByteArray) {
        return value.toByteArray().toStdString();
    }
    // Text, or a number stored by this process; a list, a rectangle or any other kind that
    // a damaged or hand-edited file gives is no string.
    if (value.typeId() == QMetaType::QStringList || !value.canConvert<QString>()) {
        return strDefault;
    }
    return value.toString().toUtf8().toStdString();
}

bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue) {
    return Store(strSection, strEntry, nValue);
}

bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue) {
    QVariant value =
        IsValidUtf8(strValue)
            ? QVariant(QString::fromUtf8(strValue))
            : QVariant(QByteArray(strValue.data(), static_cast<qsizetype>(strValue.size())));
    return Store(strSection, strEntry, value);
}

bool RemoveProfileEntry(const std::string& strSection, const std::string& strEntry) {
    if (t_pBatchStore) {
        t_pBatchStore->remove(Key(strSection, strEntry));
        return true;
    }
    QSettings store = OpenStore();
    if (!store.contains(Key(strSection, strEntry))) {
        return true;
    }
    store.remove(Key(strSection, strEntry));
    return Flush(store);
}

std::string ProfileFileName() { return OpenStore().fileName().toStdString(); }
