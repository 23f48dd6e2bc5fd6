#pragma once

#include <QString>
#include <functional>

// How the downloads window writes sizes, speeds and times, in German, and
// the free file name a download gets beside files of the same name.
namespace DownloadText {

// "512 Bytes", "1,5 KB", "12,3 MB", "2,0 GB" (powers of 1024).
QString size(qint64 bytes);
// "1,2 MB/s"; empty for no speed.
QString speed(double bytesPerSecond);
// "45 Sek.", "2 Min. 5 Sek.", "1 Std. 3 Min."; empty when unknown (< 0).
QString timeLeft(qint64 seconds);
// "datei.pdf" while no such file exists, else "datei (1).pdf", "datei (2).pdf"...
// The number goes before the last suffix ("a.tar.gz" gives "a (1).tar.gz").
QString freeName(const QString& name, const std::function<bool(const QString&)>& exists);

} // namespace DownloadText
