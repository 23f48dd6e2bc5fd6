#pragma once

#include "passwords/model/LoginRules.h"

#include <QObject>
#include <QString>

class Keyring;

// The logins of web pages for the whole session: kept in the desktop's
// keyring, never in a Korvix file; the sites never to ask about in
// Korvix.ini. Once the keyring turned out unreachable, the session asks it
// nothing more.
class Passwords : public QObject {
    Q_OBJECT
public:
    explicit Passwords(const QString& appDir, QObject* parent = nullptr);
    ~Passwords() override;

    using Found = std::function<void(const QList<SavedLogin>& logins)>;
    using Done = std::function<void(bool ok)>;

    // False once the keyring could not be reached in this session.
    bool isAvailable() const { return m_available; }
    // True the first time it is asked after the keyring was found
    // unreachable: the user is told once per session.
    bool takeUnreachableNotice();

    bool isNeverSaved(const QString& site) const;
    void neverSave(const QString& site);

    // The logins of a site (every login for an empty site); none when the
    // keyring cannot be reached, which `reached` tells.
    void find(const QString& site, Found done, Done reached = {});
    void save(const SavedLogin& login, Done done = {});
    // One login, or every login for an empty site.
    void remove(const QString& site, const QString& user, Done done = {});

    static constexpr char UnreachableText[] =
        "Passwörter können nicht gespeichert werden: kein Schlüsselbund erreichbar.";

signals:
    // A login was saved or removed.
    void changed();

private:
    void answered(bool ok);

    QString m_appDir;
    Keyring* m_keyring;
    bool m_available = true;
    bool m_told = false;
};
