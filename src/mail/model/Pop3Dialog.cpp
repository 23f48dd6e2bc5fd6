#include "mail/model/Pop3Dialog.h"

#include <QList>
#include <QtGlobal>

#include <climits>

namespace {

bool isPositive(const QByteArray& line) {
    return line.startsWith("+OK");
}

// The number after "+OK", or -1 when the reply carries none.
int leadingNumber(const QByteArray& line) {
    int i = 3;
    while (i < line.size() && line[i] == ' ')
        ++i;
    qint64 value = -1;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        value = qMin<qint64>((value < 0 ? 0 : value) * 10 + (line[i] - '0'), INT_MAX);
    return int(value);
}

// Hex groups separated by colons, perhaps an IPv4 tail and a zone: enough to
// tell an IPv6 literal from a mistyped "host:port"; the resolver judges the rest.
bool looksLikeIpv6(const QString& text) {
    const QString address = text.section(QLatin1Char('%'), 0, 0);
    if (address.count(QLatin1Char(':')) < 2)
        return false;
    for (const QChar c : address) {
        if (!(c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')) ||
              c == QLatin1Char(':') || c == QLatin1Char('.')))
            return false;
    }
    return true;
}

bool parsePort(const QString& text, quint16* port) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535 || !text.at(0).isDigit())
        return false;
    *port = quint16(value);
    return true;
}

} // namespace

Pop3Address Pop3Address::parse(const QString& server) {
    Pop3Address a;
    QString rest = server.trimmed();
    bool portGiven = false;
    if (rest.startsWith(QLatin1String("pop3s://"), Qt::CaseInsensitive)) {
        a.implicitTls = true;
        a.port = TlsPort;
        rest = rest.mid(8);
    } else if (rest.startsWith(QLatin1String("pop3://"), Qt::CaseInsensitive)) {
        rest = rest.mid(7);
    }
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);

    if (rest.startsWith(QLatin1Char('['))) {
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return a;
        const QString after = rest.mid(close + 1);
        a.host = rest.mid(1, close - 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':')) || !parsePort(after.mid(1), &a.port))
                return a;
            portGiven = true;
        }
        if (!looksLikeIpv6(a.host))
            return a;
    } else if (rest.count(QLatin1Char(':')) == 1) {
        const int colon = rest.indexOf(QLatin1Char(':'));
        a.host = rest.left(colon);
        if (!parsePort(rest.mid(colon + 1), &a.port))
            return a;
        portGiven = true;
    } else {
        // Several colons without brackets can only be a bare IPv6 address.
        a.host = rest;
        if (rest.contains(QLatin1Char(':')) && !looksLikeIpv6(rest))
            return a;
    }
    if (portGiven && a.port == TlsPort)
        a.implicitTls = true;
    a.valid = !a.host.isEmpty() && !a.host.contains(QLatin1Char(' ')) &&
              !a.host.contains(QLatin1Char('/'));
    return a;
}

Pop3Dialog::Pop3Dialog(const QString& user, const QString& password, bool encrypted)
    : m_user(user), m_password(password), m_encrypted(encrypted) {}

Pop3Dialog::Reaction Pop3Dialog::feed(const QByteArray& data) {
    Reaction out;
    if (m_phase == Phase::Ended || m_phase == Phase::Handshake)
        return out;
    m_pending += data;
    qsizetype start = 0;
    while (m_phase != Phase::Ended) {
        const qsizetype newline = m_pending.indexOf('\n', start);
        if (newline < 0) {
            // A CR waiting for its LF is no part of the line's length.
            qsizetype waiting = m_pending.size() - start;
            if (waiting > 0 && m_pending.endsWith('\r'))
                --waiting;
            if (waiting > MaxLineLength)
                end(Outcome::BadReply);
            break;
        }
        qsizetype length = newline - start;
        if (length > 0 && m_pending.at(newline - 1) == '\r')
            --length;
        if (length > MaxLineLength) {
            end(Outcome::BadReply);
            break;
        }
        const QByteArray line = m_pending.mid(start, length);
        start = newline + 1;
        const Reaction r = onLine(line);
        out.send += r.send;
        if (r.startTls) {
            // Whatever followed the STLS answer in clear text is not to be
            // trusted once the connection is encrypted: it is dropped.
            out.startTls = true;
            m_pending.clear();
            return out;
        }
    }
    if (m_phase == Phase::Ended)
        m_pending.clear();
    else
        m_pending.remove(0, start);
    return out;
}

Pop3Dialog::Reaction Pop3Dialog::tlsEstablished() {
    if (m_phase != Phase::Handshake)
        return {};
    m_encrypted = true;
    return sendCredential("USER", m_user, Phase::User);
}

Pop3Dialog::Reaction Pop3Dialog::onLine(const QByteArray& line) {
    const bool ok = isPositive(line);
    switch (m_phase) {
    case Phase::Greeting:
        if (!ok)
            break;
        if (m_encrypted)
            return sendCredential("USER", m_user, Phase::User);
        m_phase = Phase::Capabilities;
        return {QByteArrayLiteral("CAPA\r\n")};
    case Phase::Capabilities:
        // A server without CAPA offers no STLS either.
        if (!ok)
            return afterCapabilities();
        m_phase = Phase::CapabilityList;
        return {};
    case Phase::CapabilityList:
        if (line == ".")
            return afterCapabilities();
        if (line.trimmed().split(' ').first().toUpper() == "STLS")
            m_offersStls = true;
        return {};
    case Phase::StartTls:
        if (!ok) {
            end(Outcome::TlsRefused);
            return {};
        }
        m_phase = Phase::Handshake;
        return {{}, true};
    case Phase::User:
        if (!ok)
            break;
        return sendCredential("PASS", m_password, Phase::Password);
    case Phase::Password:
        if (!ok)
            break;
        m_phase = Phase::List;
        return {QByteArrayLiteral("LIST\r\n")};
    case Phase::List:
        if (!ok)
            break;
        // The count in the status line is enough; a server that gives none
        // is counted by its scan listing.
        m_announcedCount = leadingNumber(line);
        if (m_announcedCount >= 0)
            m_mailCount = m_announcedCount;
        m_listedLines = 0;
        m_phase = Phase::ListBody;
        return {};
    case Phase::ListBody:
        if (line != ".") {
            ++m_listedLines;
            return {};
        }
        if (m_announcedCount < 0)
            m_mailCount = m_listedLines;
        m_phase = Phase::Quit;
        return {QByteArrayLiteral("QUIT\r\n")};
    case Phase::Quit:
        end(Outcome::Completed);
        return {};
    case Phase::Handshake:
    case Phase::Ended:
        return {};
    }
    refuse();
    return {};
}

Pop3Dialog::Reaction Pop3Dialog::afterCapabilities() {
    if (m_offersStls && !m_encrypted) {
        m_phase = Phase::StartTls;
        return {QByteArrayLiteral("STLS\r\n")};
    }
    return sendCredential("USER", m_user, Phase::User);
}

Pop3Dialog::Reaction Pop3Dialog::sendCredential(const char* command, const QString& value,
                                                Phase next) {
    // A line break would let the value end the command early and smuggle in
    // one of its own.
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')) ||
        value.contains(QChar(0))) {
        end(Outcome::BadCredential);
        return {};
    }
    m_phase = next;
    return {QByteArray(command) + ' ' + value.toUtf8() + "\r\n"};
}

void Pop3Dialog::refuse() {
    m_refusedIn = m_phase;
    end(Outcome::Refused);
}

void Pop3Dialog::end(Outcome outcome) {
    m_outcome = outcome;
    m_phase = Phase::Ended;
    m_pending.clear();
}
