#pragma once

// Fixed-length records as Korvix stores them on disk: little-endian integers
// and blank-padded Windows-1252 text fields. Characters outside the code page
// are kept as decimal references "&#N;" so nothing the user typed is lost;
// typed text that itself spells such a reference is stored with its "&#" as
// "&#38;#", so it reads back as typed.

#include <QByteArray>
#include <QList>
#include <QString>

// Encodes s into exactly `width` bytes: cut after the last whole character
// (a reference counts as one) that fits, then padded with blanks.
QByteArray encodeText(const QString& s, int width);

// Decodes a stored field as it is, blanks included.
QString decodeText(const QByteArray& field);

// Strips leading and trailing U+0020 only; tabs and other spaces are data.
QString trimBlanks(const QString& s);

class Record {
public:
    explicit Record(int size);
    Record(const QByteArray& bytes, int size);

    qint16 int16At(int off) const;
    void setInt16(int off, qint16 value);
    qint32 int32At(int off) const;
    void setInt32(int off, qint32 value);

    QString textAt(int off, int width) const;
    QString trimmedTextAt(int off, int width) const;
    void setText(int off, int width, const QString& text);

    quint8 byteAt(int off) const;
    const QByteArray& bytes() const { return m_bytes; }
    int size() const { return int(m_bytes.size()); }

private:
    bool fits(int off, int width) const;

    QByteArray m_bytes;
};

// Whole records only; a torn tail from an interrupted write is dropped.
QList<QByteArray> splitRecords(const QByteArray& data, int recordLength);
