#pragma once

#include "passwords/model/LoginRules.h"

#include <QObject>
#include <QThread>
#include <functional>

// The desktop's keyring through the Secret Service (libsecret), under
// Korvix's own schema. Every call runs on a thread of its own, one after
// another, since the service may take long to answer or never come; the
// answer arrives on the caller's thread. `ok` is false when the service
// could not be reached or refused.
class Keyring : public QObject {
    Q_OBJECT
public:
    static constexpr char SchemaName[] = "org.korvix.Login";

    explicit Keyring(QObject* parent = nullptr);
    ~Keyring() override;

    using Found = std::function<void(bool ok, const QList<SavedLogin>& logins)>;
    using Done = std::function<void(bool ok)>;

    // The logins of a site, with their passwords; every login for an empty site.
    void find(const QString& site, Found done);
    // Saves a login, replacing the one of that site and user.
    void store(const SavedLogin& login, Done done);
    // Removes the login of that site and user; every login for an empty site.
    void remove(const QString& site, const QString& user, Done done);

private:
    void run(std::function<std::function<void()>()> work);

    QThread m_thread;
    QObject* m_worker;
    // Cancels what is under way when the program ends.
    void* m_cancel;
};
