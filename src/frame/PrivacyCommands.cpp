#include "frame/PrivacyCommands.h"

#include "browser/BrowserWindow.h"
#include "browser/EngineProfile.h"
#include "browser/SiteData.h"
#include "browser/WebView.h"
#include "browser/model/SiteGrants.h"
#include "downloads/DownloadList.h"
#include "frame/BrowserRegistry.h"
#include "frame/ClearDataDialog.h"
#include "frame/FrameActions.h"
#include "frame/ToolWindows.h"
#include "history/HistoryWindow.h"
#include "history/model/HistoryList.h"
#include "prefs/model/KorvixSettings.h"
#include "ui/Dialogs.h"

#include <QAction>

PrivacyCommands::PrivacyCommands(Parts parts, QObject* parent)
    : QObject(parent), m_parts(std::move(parts)) {
    using A = FrameActions;
    QAction* all = m_parts.actions->action(A::ThirdPartyCookies);
    all->setChecked(KorvixSettings(m_parts.programFolder).thirdPartyCookies());
    connect(all, &QAction::triggered, this, &PrivacyCommands::setThirdPartyAllowed);
    connect(m_parts.actions->action(A::ThirdPartyCookiesOnSite), &QAction::triggered, this,
            &PrivacyCommands::setSiteAllowed);
    connect(m_parts.actions->action(A::ClearBrowsingData), &QAction::triggered, this,
            &PrivacyCommands::showClearData);
    connect(m_parts.registry, &BrowserRegistry::currentPageChanged, this,
            &PrivacyCommands::showCurrent);
    showCurrent();
}

void PrivacyCommands::showCurrent() {
    QAction* onSite = m_parts.actions->action(FrameActions::ThirdPartyCookiesOnSite);
    const QString site = m_parts.registry->currentSite();
    onSite->setEnabled(!site.isEmpty());
    // From the rules in force: read at every page, the settings file would
    // be parsed each time.
    onSite->setChecked(!site.isEmpty() && SiteData::thirdPartyAllowedOn(site));
}

void PrivacyCommands::setThirdPartyAllowed(bool allowed) {
    KorvixSettings(m_parts.programFolder).setThirdPartyCookies(allowed);
    SiteData::applyCookieSettings(m_parts.programFolder);
}

void PrivacyCommands::setSiteAllowed(bool allowed) {
    const QString site = m_parts.registry->currentSite();
    if (site.isEmpty())
        return;
    KorvixSettings settings(m_parts.programFolder);
    QStringList sites = settings.thirdPartyCookieSites();
    sites.removeAll(site);
    if (allowed)
        sites << site;
    settings.setThirdPartyCookieSites(sites);
    SiteData::applyCookieSettings(m_parts.programFolder);
    // The page comes again, with or without the other sites' cookies.
    if (BrowserWindow* w = m_parts.registry->currentWindow())
        w->reload(false);
}

// The sites of this session's history from `from` on (all without a
// time) and of the pages open now; private windows keep nothing to clear.
QStringList PrivacyCommands::sitesVisitedFrom(const QDateTime& from) const {
    QStringList sites;
    const auto add = [&sites](const QUrl& url) {
        if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
            return;
        const QString site = url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery |
                                          QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                                 .toString();
        if (!sites.contains(site))
            sites << site;
    };
    for (const HistoryItem& item : m_parts.history->items())
        if (!from.isValid() || item.UrlDate >= from)
            add(QUrl(item.Url));
    for (const BrowserWindow* w : m_parts.registry->windows())
        if (!w->isPrivate())
            add(QUrl(w->webView()->locationUrl()));
    return sites;
}

void PrivacyCommands::showClearData() {
    ClearDataDialog dialog(m_parts.frame);
    Dialogs::runModal([&] { return dialog.exec(); });
    if (dialog.result() != QDialog::Accepted)
        return;
    const ClearDataDialog::Choice c = dialog.choice();
    const QDateTime from = clearFrom(c.range, QDateTime::currentDateTime());
    // The engine keeps certificates let through and HTTP logins in memory
    // with no way to clear them but a new profile; it comes before the
    // sites' data is cleared, so nothing of that clearing is still on its
    // way in the old one.
    SiteGrants& grants = EngineProfile::grants();
    const bool renew = (c.grants && grants.hasCertificates()) || (c.logins && grants.hasLogins());
    if (c.grants)
        grants.clearAnswersAndCertificates();
    if (c.logins)
        grants.clearLogins();
    if (renew)
        EngineProfile::renewProfile();
    if (c.cookies) {
        SiteData::clearCookies(from);
        // Local storage and the like carry no times: they go for the sites
        // visited in the range, and with "Alles" the folders of every site
        // go at the next start as well.
        SiteData::clearStorageOf(sitesVisitedFrom(from));
        if (c.range == ClearRange::All)
            SiteData::clearStorageAtStart(m_parts.programFolder);
    }
    if (c.cache)
        SiteData::clearCache();
    if (c.history) {
        m_parts.history->removeFrom(from);
        if (HistoryWindow* w = m_parts.tools->historyWindow(); w && !w->isClosed())
            w->fillGrid();
        // The history window has something to show from two visits on.
        m_parts.actions->action(FrameActions::History)->setEnabled(m_parts.history->count() >= 2);
    }
    if (c.downloads)
        m_parts.downloads->removeEndedFrom(from);
}
