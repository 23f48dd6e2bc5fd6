#pragma once

#include <QList>
#include <QString>

class QUrl;

// A login as the keyring keeps it.
struct SavedLogin {
    // scheme://host:port of the page whose form it fills
    QString site;
    QString user;
    QString password;
    // The address the form was sent to.
    QString formUrl;
};

// What decides which logins a page gets and what a sent form asks.
namespace LoginRules {

// The site a page's logins belong to: scheme, host and port (the scheme's
// own when the address names none). Empty for pages that are no site
// (files, internal pages), which are never saved nor filled.
QString siteOf(const QUrl& url);
// The host of a site, as the question names it.
QString hostOf(const QString& site);

enum class Offer { Nothing, Save, Update };
// A form sent with `user` and `password` on a site that has `known`: a new
// login is offered to be saved, a changed password to be updated, and a
// login the keyring already holds as sent asks nothing.
Offer offerFor(const QList<SavedLogin>& known, const QString& user, const QString& password);

} // namespace LoginRules
