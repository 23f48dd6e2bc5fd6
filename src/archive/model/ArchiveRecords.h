#pragma once

// Records of the bookmark archive: Book.bkm lists the folders (ThemaRecord),
// each folder's own file lists its bookmarks (BookmarkRecord).

#include <QByteArray>
#include <QList>
#include <QString>

struct ThemaRecord {
    static constexpr int Size = 336;

    qint32 Sequenz = 0;
    qint32 Nr = 0;
    QString DirName;
    QString FileName;

    QByteArray toBytes() const;
    static ThemaRecord fromBytes(const QByteArray& bytes);
};

struct BookmarkRecord {
    static constexpr int Size = 1081;

    qint16 Nr = 0;
    QString Titel;
    QString Url;
    QString Info;
    qint16 Adresszeile = -1; // Boolean: -1 true, 0 false
    qint16 Toolbar = -1;     // Boolean: -1 true, 0 false

    QByteArray toBytes() const;
    static BookmarkRecord fromBytes(const QByteArray& bytes);
};

QList<ThemaRecord> parseThemaFile(const QByteArray& data);
QList<BookmarkRecord> parseBookmarkFile(const QByteArray& data);

// Both writers number the records 1, 2, 3... in list order.
QByteArray writeThemaFile(const QList<ThemaRecord>& records);
QByteArray writeBookmarkFile(const QList<BookmarkRecord>& records);
