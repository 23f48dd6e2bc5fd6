#include "common/RecordCodec.h"

#include <QtEndian>

namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves
// unassigned map to the C1 control of the same value, so every byte
// survives a round trip.
constexpr char32_t HighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t MaxCodePoint = 0x10FFFF;
constexpr int MaxReferenceDigits = 7; // "1114111"

char32_t byteToCodePoint(quint8 b) {
    if (b >= 0x80 && b <= 0x9F)
        return HighTable[b - 0x80];
    return b;
}

// The byte for cp, or -1 when the code page has no such character.
int codePointToByte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return int(cp);
    for (int i = 0; i < 32; ++i) {
        if (HighTable[i] == cp)
            return 0x80 + i;
    }
    return -1;
}

bool isScalarValue(char32_t cp) {
    return cp <= MaxCodePoint && !(cp >= 0xD800 && cp <= 0xDFFF);
}

QByteArray encodeCodePoint(char32_t cp) {
    const int b = codePointToByte(cp);
    if (b >= 0)
        return QByteArray(1, char(b));
    return "&#" + QByteArray::number(quint32(cp)) + ';';
}

char32_t unitAt(const QByteArray& data, qsizetype i) {
    return quint8(data[i]);
}
char32_t unitAt(const QString& text, qsizetype i) {
    return text[i].unicode();
}

// Reads a reference "&#N;" at pos, in stored bytes or in typed text. Only
// the form the writer produces is accepted (no leading zeros) and only for
// characters that need it, so text that merely looks like a reference is
// read back untouched.
template <typename Text>
bool readReference(const Text& data, qsizetype pos, char32_t* cp, qsizetype* length) {
    const qsizetype n = data.size();
    if (pos + 3 >= n || unitAt(data, pos) != '&' || unitAt(data, pos + 1) != '#')
        return false;
    qsizetype i = pos + 2;
    if (unitAt(data, i) == '0')
        return false;
    quint32 value = 0;
    int digits = 0;
    while (i < n && unitAt(data, i) >= '0' && unitAt(data, i) <= '9') {
        if (++digits > MaxReferenceDigits)
            return false;
        value = value * 10 + quint32(unitAt(data, i) - '0');
        ++i;
    }
    if (digits == 0 || i >= n || unitAt(data, i) != ';')
        return false;
    if (!isScalarValue(value) || codePointToByte(value) >= 0)
        return false;
    *cp = value;
    *length = i + 1 - pos;
    return true;
}

// Typed text that spells a reference (or this escape itself) keeps its "&#"
// as "&#38;#", so it cannot be read back as the character it spells. The
// escape never stands for anything else: the writer stores a plain "&"
// literally.
const QByteArray EscapedAmpHash = "&#38;#";

bool startsWith(const QString& text, qsizetype pos, const QByteArray& ascii) {
    if (pos + ascii.size() > text.size())
        return false;
    for (qsizetype k = 0; k < ascii.size(); ++k)
        if (text[pos + k].unicode() != char16_t(ascii[k]))
            return false;
    return true;
}

bool needsEscape(const QString& text, qsizetype pos) {
    char32_t cp = 0;
    qsizetype length = 0;
    return startsWith(text, pos, EscapedAmpHash) || readReference(text, pos, &cp, &length);
}

void appendCodePoint(QString& out, char32_t cp) {
    if (QChar::requiresSurrogates(cp)) {
        out.append(QChar(QChar::highSurrogate(cp)));
        out.append(QChar(QChar::lowSurrogate(cp)));
    } else {
        out.append(QChar(char16_t(cp)));
    }
}

} // namespace

QByteArray encodeText(const QString& s, int width) {
    if (width <= 0)
        return {};
    QByteArray out;
    out.reserve(width);
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t cp = s[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && s[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(cp)) {
            cp = QChar::ReplacementCharacter; // a lone half is no character
        }
        QByteArray piece;
        if (cp == '&' && needsEscape(s, i)) {
            piece = EscapedAmpHash; // "&#" as one piece, never cut in half
            ++i;
        } else {
            piece = encodeCodePoint(cp);
        }
        if (out.size() + piece.size() > width)
            break;
        out.append(piece);
    }
    out.append(width - out.size(), ' ');
    return out;
}

QString decodeText(const QByteArray& field) {
    QString out;
    out.reserve(field.size());
    const qsizetype n = field.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        qsizetype length = 0;
        if (field[i] == '&' && field.mid(i, EscapedAmpHash.size()) == EscapedAmpHash) {
            out.append(QStringLiteral("&#"));
            i += EscapedAmpHash.size();
        } else if (field[i] == '&' && readReference(field, i, &cp, &length)) {
            appendCodePoint(out, cp);
            i += length;
        } else {
            appendCodePoint(out, byteToCodePoint(quint8(field[i])));
            ++i;
        }
    }
    return out;
}

QString trimBlanks(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ')
        ++begin;
    while (end > begin && s[end - 1] == u' ')
        --end;
    return s.mid(begin, end - begin);
}

Record::Record(int size) : m_bytes(qMax(size, 0), '\0') {}

Record::Record(const QByteArray& bytes, int size) : m_bytes(bytes.left(qMax(size, 0))) {
    m_bytes.append(qMax(size, 0) - m_bytes.size(), '\0');
}

// A field outside the record reads as zero or empty and is never written, so
// a wrong offset cannot touch memory beyond the buffer.
bool Record::fits(int off, int width) const {
    return off >= 0 && width >= 0 && qsizetype(off) + width <= m_bytes.size();
}

qint16 Record::int16At(int off) const {
    return fits(off, 2) ? qFromLittleEndian<qint16>(m_bytes.constData() + off) : 0;
}

void Record::setInt16(int off, qint16 value) {
    if (fits(off, 2))
        qToLittleEndian(value, m_bytes.data() + off);
}

qint32 Record::int32At(int off) const {
    return fits(off, 4) ? qFromLittleEndian<qint32>(m_bytes.constData() + off) : 0;
}

void Record::setInt32(int off, qint32 value) {
    if (fits(off, 4))
        qToLittleEndian(value, m_bytes.data() + off);
}

QString Record::textAt(int off, int width) const {
    return fits(off, width) ? decodeText(m_bytes.mid(off, width)) : QString();
}

QString Record::trimmedTextAt(int off, int width) const {
    return trimBlanks(textAt(off, width));
}

void Record::setText(int off, int width, const QString& text) {
    if (fits(off, width))
        m_bytes.replace(off, width, encodeText(text, width));
}

quint8 Record::byteAt(int off) const {
    return fits(off, 1) ? quint8(m_bytes[off]) : 0;
}

QList<QByteArray> splitRecords(const QByteArray& data, int recordLength) {
    QList<QByteArray> records;
    if (recordLength <= 0)
        return records;
    const qsizetype count = data.size() / recordLength;
    records.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        records.append(data.mid(i * recordLength, recordLength));
    return records;
}
