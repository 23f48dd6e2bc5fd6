#include "prefs/model/KorvixSettings.h"

#include <QDir>
#include <QSettings>

namespace {
const QString PrefetchKey = QStringLiteral("Browser/PrefetchLinks");
const QString BookmarkFolderKey = QStringLiteral("Bookmarks/LastFolder");
const QString BlockingKey = QStringLiteral("Blocking/Enabled");
const QString BlockingExceptionsKey = QStringLiteral("Blocking/AllowedSites");
const QString ThirdPartyCookiesKey = QStringLiteral("Cookies/ThirdParty");
const QString ThirdPartySitesKey = QStringLiteral("Cookies/ThirdPartySites");
const QString ClearSiteDataKey = QStringLiteral("SiteData/ClearAtStart");
const QString PasswordNeverKey = QStringLiteral("Passwords/NeverSites");
const QString SpellCheckKey = QStringLiteral("Spelling/Enabled");
const QString SpellLanguagesKey = QStringLiteral("Spelling/Languages");
} // namespace

KorvixSettings::KorvixSettings(const QString& appDir)
    : m_path(QDir(appDir).filePath(QLatin1String(FileName))) {}

bool KorvixSettings::prefetchLinks() const {
    return QSettings(m_path, QSettings::IniFormat).value(PrefetchKey, false).toBool();
}

void KorvixSettings::setPrefetchLinks(bool on) {
    QSettings(m_path, QSettings::IniFormat).setValue(PrefetchKey, on);
}

QString KorvixSettings::lastBookmarkFolder() const {
    return QSettings(m_path, QSettings::IniFormat).value(BookmarkFolderKey).toString();
}

void KorvixSettings::setLastBookmarkFolder(const QString& fileName) {
    QSettings(m_path, QSettings::IniFormat).setValue(BookmarkFolderKey, fileName);
}

bool KorvixSettings::contentBlocking() const {
    return QSettings(m_path, QSettings::IniFormat).value(BlockingKey, true).toBool();
}

void KorvixSettings::setContentBlocking(bool on) {
    QSettings(m_path, QSettings::IniFormat).setValue(BlockingKey, on);
}

QStringList KorvixSettings::blockingExceptions() const {
    return QSettings(m_path, QSettings::IniFormat).value(BlockingExceptionsKey).toStringList();
}

void KorvixSettings::setBlockingExceptions(const QStringList& hosts) {
    QSettings(m_path, QSettings::IniFormat).setValue(BlockingExceptionsKey, hosts);
}

bool KorvixSettings::thirdPartyCookies() const {
    return QSettings(m_path, QSettings::IniFormat).value(ThirdPartyCookiesKey, false).toBool();
}

void KorvixSettings::setThirdPartyCookies(bool allowed) {
    QSettings(m_path, QSettings::IniFormat).setValue(ThirdPartyCookiesKey, allowed);
}

QStringList KorvixSettings::thirdPartyCookieSites() const {
    return QSettings(m_path, QSettings::IniFormat).value(ThirdPartySitesKey).toStringList();
}

void KorvixSettings::setThirdPartyCookieSites(const QStringList& hosts) {
    QSettings(m_path, QSettings::IniFormat).setValue(ThirdPartySitesKey, hosts);
}

bool KorvixSettings::clearSiteDataAtStart() const {
    return QSettings(m_path, QSettings::IniFormat).value(ClearSiteDataKey, false).toBool();
}

void KorvixSettings::setClearSiteDataAtStart(bool clear) {
    QSettings(m_path, QSettings::IniFormat).setValue(ClearSiteDataKey, clear);
}

QStringList KorvixSettings::passwordNeverSites() const {
    return QSettings(m_path, QSettings::IniFormat).value(PasswordNeverKey).toStringList();
}

void KorvixSettings::setPasswordNeverSites(const QStringList& sites) {
    QSettings(m_path, QSettings::IniFormat).setValue(PasswordNeverKey, sites);
}

bool KorvixSettings::spellCheck() const {
    return QSettings(m_path, QSettings::IniFormat).value(SpellCheckKey, true).toBool();
}

void KorvixSettings::setSpellCheck(bool on) {
    QSettings(m_path, QSettings::IniFormat).setValue(SpellCheckKey, on);
}

QStringList KorvixSettings::spellLanguages() const {
    const QSettings settings(m_path, QSettings::IniFormat);
    if (!settings.contains(SpellLanguagesKey))
        return {QStringLiteral("de-DE")};
    QStringList languages = settings.value(SpellLanguagesKey).toStringList();
    languages.removeAll(QString());
    return languages;
}

void KorvixSettings::setSpellLanguages(const QStringList& languages) {
    QSettings(m_path, QSettings::IniFormat).setValue(SpellLanguagesKey, languages);
}
