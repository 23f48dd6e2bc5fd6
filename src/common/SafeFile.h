#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Replaces the file at path with data in one step: a temporary file in the
// same folder is renamed over the old one, so a crash or full disk leaves
// either the old or the new content, never a mix and never nothing.
// With perms set, the file gets exactly those permissions (umask ignored).
// On failure, error receives a German reason naming the file.
bool writeFileAtomic(const QString& path, const QByteArray& data, QString* error,
                     QFileDevice::Permissions perms = {});

enum class ReadStatus { Ok, NotFound, Failed };

// Reads the file, or its first maxBytes bytes when maxBytes >= 0.
// A folder or an unreadable file is Failed with a German reason in error.
ReadStatus readWholeFile(const QString& path, QByteArray* out, QString* error,
                         qint64 maxBytes = -1);
