#pragma once

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>

// The test servers' self-signed certificate and key (tests/data), for a
// server that speaks TLS; an empty configuration when they cannot be read.
inline QSslConfiguration testServerTls() {
    QFile cert(QStringLiteral(KORVIX_TEST_DATA "/testserver.crt"));
    QFile key(QStringLiteral(KORVIX_TEST_DATA "/testserver.key"));
    if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return {};
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(&cert));
    tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
    return tls;
}
