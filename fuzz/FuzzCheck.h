#pragma once

// What every fuzz target shares: a way to stop on a broken property with a
// readable message, so libFuzzer keeps the input as a crash.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzFail(const char* file, int line, const char* what,
                                  const QString& detail) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toLocal8Bit().constData());
    std::abort();
}

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            fuzzFail(__FILE__, __LINE__, #cond, QString());                                        \
    } while (0)

#define FUZZ_CHECK2(cond, detail)                                                                  \
    do {                                                                                           \
        if (!(cond))                                                                               \
            fuzzFail(__FILE__, __LINE__, #cond, (detail));                                         \
    } while (0)

// Reads the fuzzer's bytes front to back; past the end everything is zero.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : m_data(reinterpret_cast<const char*>(data)), m_size(size) {}

    quint8 byte() { return m_pos < m_size ? quint8(m_data[m_pos++]) : 0; }
    quint16 u16() { return quint16(byte() | (quint16(byte()) << 8)); }
    QByteArray take(size_t n) {
        n = std::min(n, m_size - m_pos);
        QByteArray out(m_data + m_pos, qsizetype(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return take(m_size - m_pos); }
    size_t remaining() const { return m_size - m_pos; }

private:
    const char* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
