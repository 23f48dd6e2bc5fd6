#include "mail/model/MailLink.h"

#include <QByteArray>

QUrl MailLink::linkUrl(const QString& title, const QString& address) {
    const QByteArray encoded = QByteArrayLiteral("mailto:?subject=") +
                               QUrl::toPercentEncoding(title) + QByteArrayLiteral("&body=") +
                               QUrl::toPercentEncoding(address);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}
