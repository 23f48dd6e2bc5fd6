#include "downloads/model/DownloadText.h"

#include <QLocale>

namespace {
QString decimal(double value) {
    return QLocale(QLocale::German).toString(value, 'f', 1);
}
} // namespace

QString DownloadText::size(qint64 bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 Bytes").arg(bytes);
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return decimal(value) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString DownloadText::speed(double bytesPerSecond) {
    if (bytesPerSecond <= 0)
        return QString();
    return size(qint64(bytesPerSecond)) + QStringLiteral("/s");
}

QString DownloadText::timeLeft(qint64 seconds) {
    if (seconds < 0)
        return QString();
    if (seconds < 60)
        return QStringLiteral("%1 Sek.").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 Min. %2 Sek.").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 Std. %2 Min.").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QString DownloadText::freeName(const QString& name,
                               const std::function<bool(const QString&)>& exists) {
    if (!exists(name))
        return name;
    // The number goes before the last suffix, or before ".tar.gz" and the
    // like; a leading dot (".profile") is no suffix.
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && name.left(dot).endsWith(QLatin1String(".tar"), Qt::CaseInsensitive))
        dot -= 4;
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(suffix);
        if (!exists(candidate))
            return candidate;
    }
}
