#include "app/DataLocation.h"

#include <QDir>
#include <QFileInfo>
#include <unistd.h>

namespace {
QString canonicalOrClean(const QString& dir) {
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(dir).absolutePath()) : canonical;
}
} // namespace

DataLocation DataLocation::forProgram(const QString& programDir, const QProcessEnvironment& env) {
    DataLocation location;
    const QString dir = canonicalOrClean(programDir);
    if (isSystemFolder(dir))
        location.m_rule = Rule::SystemProgramFolder;
    else if (::access(QFile::encodeName(dir).constData(), W_OK) != 0)
        location.m_rule = Rule::ReadOnlyProgramFolder;
    location.m_folder = location.m_rule == Rule::BesideProgram ? programDir : userDataFolder(env);
    return location;
}

bool DataLocation::isSystemFolder(const QString& dir) {
    const QString path = canonicalOrClean(dir);
    for (const char* root : {"/usr", "/bin", "/sbin"}) {
        const QString r = QString::fromLatin1(root);
        if (path == r || path.startsWith(r + QLatin1Char('/')))
            return true;
    }
    return false;
}

QString DataLocation::userDataFolder(const QProcessEnvironment& env) {
    QString base = env.value(QStringLiteral("XDG_DATA_HOME"));
    // The XDG rules ignore a relative path.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        QString home = env.value(QStringLiteral("HOME"));
        if (home.isEmpty())
            home = QDir::homePath();
        base = QDir(home).filePath(QStringLiteral(".local/share"));
    }
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("korvix")));
}

QString DataLocation::reason() const {
    switch (m_rule) {
    case Rule::BesideProgram:
        return QStringLiteral("Der Programmordner ist beschreibbar: tragbare Kopie.");
    case Rule::ReadOnlyProgramFolder:
        return QStringLiteral("Der Programmordner ist schreibgeschützt: installiertes Programm.");
    case Rule::SystemProgramFolder:
        return QStringLiteral("Der Programmordner ist ein Systemordner: installiertes Programm.");
    }
    return QString();
}

bool DataLocation::create(QString* error) const {
    if (m_rule == Rule::BesideProgram || QFileInfo(m_folder).isDir())
        return true;
    const QString parent = QFileInfo(m_folder).absolutePath();
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    // A second start at the same moment may have made it first.
    if ((QDir().mkpath(parent) && QDir().mkdir(m_folder, ownerOnly)) || QFileInfo(m_folder).isDir())
        return true;
    if (error) {
        *error = QStringLiteral("Der Ordner '%1' kann nicht angelegt werden.")
                     .arg(QDir::toNativeSeparators(m_folder));
    }
    return false;
}
