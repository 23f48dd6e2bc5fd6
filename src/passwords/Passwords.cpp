#include "passwords/Passwords.h"

#include "passwords/Keyring.h"
#include "prefs/model/KorvixSettings.h"

Passwords::Passwords(const QString& appDir, QObject* parent)
    : QObject(parent), m_appDir(appDir), m_keyring(new Keyring(this)) {}

Passwords::~Passwords() = default;

bool Passwords::takeUnreachableNotice() {
    if (m_available || m_told)
        return false;
    m_told = true;
    return true;
}

void Passwords::answered(bool ok) {
    if (!ok)
        m_available = false;
}

bool Passwords::isNeverSaved(const QString& site) const {
    return KorvixSettings(m_appDir).passwordNeverSites().contains(site);
}

void Passwords::neverSave(const QString& site) {
    KorvixSettings settings(m_appDir);
    QStringList sites = settings.passwordNeverSites();
    if (sites.contains(site))
        return;
    sites << site;
    settings.setPasswordNeverSites(sites);
}

void Passwords::find(const QString& site, Found done, Done reached) {
    if (!m_available) {
        if (reached)
            reached(false);
        done({});
        return;
    }
    m_keyring->find(site, [this, done, reached](bool ok, const QList<SavedLogin>& logins) {
        answered(ok);
        if (reached)
            reached(ok);
        done(logins);
    });
}

void Passwords::save(const SavedLogin& login, Done done) {
    if (!m_available) {
        if (done)
            done(false);
        return;
    }
    m_keyring->store(login, [this, done](bool ok) {
        answered(ok);
        if (ok)
            emit changed();
        if (done)
            done(ok);
    });
}

void Passwords::remove(const QString& site, const QString& user, Done done) {
    if (!m_available) {
        if (done)
            done(false);
        return;
    }
    m_keyring->remove(site, user, [this, done](bool ok) {
        answered(ok);
        if (ok)
            emit changed();
        if (done)
            done(ok);
    });
}
