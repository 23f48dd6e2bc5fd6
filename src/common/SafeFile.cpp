#include "common/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString writeFailure(const QString& path, const QString& reason) {
    return QStringLiteral("Die Datei '%1' konnte nicht geschrieben werden: %2")
        .arg(shown(path), reason);
}

QString readFailure(const QString& path, const QString& reason) {
    return QStringLiteral("Die Datei '%1' konnte nicht gelesen werden: %2")
        .arg(shown(path), reason);
}

} // namespace

bool writeFileAtomic(const QString& path, const QByteArray& data, QString* error,
                     QFileDevice::Permissions perms) {
    QSaveFile file(path);
    // Never fall back to writing the target in place: that would destroy the
    // old content if the write then fails.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, writeFailure(path, file.errorString()));
        return false;
    }
    // Restrict the still empty temporary file before any data reaches it.
    if (perms && !file.setPermissions(perms)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        setError(error, writeFailure(path, reason));
        return false;
    }
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        setError(error, writeFailure(path, reason));
        return false;
    }
    // QSaveFile renames even when its last buffered write failed (a full
    // disk), so the data is pushed out and synced here first.
    if (!file.flush() || ::fsync(file.handle()) != 0) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        setError(error, writeFailure(path, reason));
        return false;
    }
    if (!file.commit()) {
        setError(error, writeFailure(path, file.errorString()));
        return false;
    }
    return true;
}

ReadStatus readWholeFile(const QString& path, QByteArray* out, QString* error, qint64 maxBytes) {
    if (out)
        out->clear();
    const QFileInfo info(path);
    if (!info.exists())
        return ReadStatus::NotFound;
    if (info.isDir()) {
        setError(error, readFailure(path, QStringLiteral("Es handelt sich um einen Ordner.")));
        return ReadStatus::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path)) // removed in the meantime
            return ReadStatus::NotFound;
        setError(error, readFailure(path, file.errorString()));
        return ReadStatus::Failed;
    }
    QByteArray data = maxBytes >= 0 ? file.read(maxBytes) : file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, readFailure(path, file.errorString()));
        return ReadStatus::Failed;
    }
    if (out)
        *out = std::move(data);
    return ReadStatus::Ok;
}
