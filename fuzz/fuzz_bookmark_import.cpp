// A bookmark file picked for import: any bytes, from any browser or none.

#include "FuzzCheck.h"
#include "archive/model/BookmarkImport.h"
#include "archive/model/ExportWriters.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

const QUrl FileUrl(QStringLiteral("file:///home/anna/Lesezeichen/bookmarks.html"));

QList<std::shared_ptr<Thema>> themenOf(const QList<BookmarkImport::Folder>& folders) {
    QList<std::shared_ptr<Thema>> out;
    for (const BookmarkImport::Folder& f : folders) {
        auto t = std::make_shared<Thema>();
        t->setDirName(f.name);
        t->bookmarks = f.bookmarks;
        out.append(t);
    }
    return out;
}

QString describe(const QList<BookmarkImport::Folder>& folders) {
    QStringList parts;
    for (const BookmarkImport::Folder& f : folders) {
        parts.append(QStringLiteral("[%1]").arg(f.name));
        for (const Bookmark& b : f.bookmarks)
            parts.append(QStringLiteral("  '%1' <%2> '%3'").arg(b.Titel, b.Url, b.Info));
    }
    return parts.join(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const BookmarkImport::Result first = BookmarkImport::parse(bytes, FileUrl);
    FUZZ_CHECK(first.ok == first.error.isEmpty());
    FUZZ_CHECK(first.ok || first.folders.isEmpty());
    if (!first.ok || first.folders.isEmpty())
        return 0;

    // What was imported, written out as a bookmark file and imported again,
    // is the same archive: exporting and importing lose nothing.
    const QDateTime now(QDate(2024, 5, 17), QTime(9, 30), QTimeZone::utc());
    const QByteArray exported =
        ExportWriters::exportArchive(ExportWriters::Kind::Netscape, themenOf(first.folders), now);
    const BookmarkImport::Result second = BookmarkImport::parse(exported, FileUrl);
    FUZZ_CHECK2(second.ok, second.error);
    const QString was = describe(first.folders);
    const QString is = describe(second.folders);
    FUZZ_CHECK2(was == is, QStringLiteral("imported:\n%1\nafter export and import:\n%2\nfile:\n%3")
                               .arg(was, is, QString::fromUtf8(exported)));
    return 0;
}
