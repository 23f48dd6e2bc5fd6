#pragma once

#include <QString>
#include <QUrl>

namespace MailLink {
// "mailto:?subject=<title>&body=<address>" with both parts percent-encoded,
// so a title holding "&", "=" or "#" reaches the mail program whole.
QUrl linkUrl(const QString& title, const QString& address);
} // namespace MailLink
