// What a QtWebView answers when its page asks something of the browser or
// cannot be shown: certificate warnings, a page whose process ended,
// permission questions and full screen.
#include "browser/EngineProfile.h"
#include "browser/FullScreenWindow.h"
#include "browser/PagePanels.h"
#include "browser/QtWebPage.h"
#include "browser/QtWebView.h"
#include "browser/model/SiteGrants.h"

#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineView>

namespace {
// The question a permission asks, with the site's name in it.
QString permissionQuestion(QWebEnginePage::Feature feature, const QString& site) {
    switch (feature) {
    case QWebEnginePage::Notifications:
        return QStringLiteral("%1 möchte Ihnen Benachrichtigungen anzeigen.").arg(site);
    case QWebEnginePage::Geolocation:
        return QStringLiteral("%1 möchte Ihren Standort verwenden.").arg(site);
    case QWebEnginePage::MediaAudioCapture:
        return QStringLiteral("%1 möchte Ihr Mikrofon verwenden.").arg(site);
    case QWebEnginePage::MediaVideoCapture:
        return QStringLiteral("%1 möchte Ihre Kamera verwenden.").arg(site);
    case QWebEnginePage::MediaAudioVideoCapture:
        return QStringLiteral("%1 möchte Ihre Kamera und Ihr Mikrofon verwenden.").arg(site);
    case QWebEnginePage::MouseLock:
        return QStringLiteral("%1 möchte den Mauszeiger ausblenden und festhalten.").arg(site);
    case QWebEnginePage::DesktopVideoCapture:
        return QStringLiteral("%1 möchte Ihren Bildschirm sehen.").arg(site);
    case QWebEnginePage::DesktopAudioVideoCapture:
        return QStringLiteral("%1 möchte Ihren Bildschirm sehen und den Ton hören.").arg(site);
    }
    return QStringLiteral("%1 möchte eine Berechtigung.").arg(site);
}

QString siteOf(const QUrl& url) {
    if (url.host().isEmpty())
        return url.toDisplayString();
    return url.port() > 0 ? QStringLiteral("%1:%2").arg(url.host()).arg(url.port()) : url.host();
}

// Where the certificate error is no part of the page's own address (an
// image, a script, a frame from elsewhere).
bool sameSite(const QUrl& a, const QUrl& b) {
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(443) == b.port(443);
}
} // namespace

void QtWebView::connectAnswers() {
    connect(m_page, &QWebEnginePage::certificateError, this, &QtWebView::onCertificateError);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                onProcessEnded(int(status));
            });
    connect(m_page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                onPermissionRequested(origin, int(feature));
            });
    connect(m_page, &QWebEnginePage::featurePermissionRequestCanceled, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                onPermissionCanceled(origin, int(feature));
            });
    connect(m_page, &QWebEnginePage::fullScreenRequested, this,
            [this](QWebEngineFullScreenRequest request) {
                onFullScreenRequested(request.toggleOn(), [request](bool accept) mutable {
                    if (accept)
                        request.accept();
                    else
                        request.reject();
                });
            });
}

bool QtWebView::isNoticeShown() const {
    return m_stack->currentWidget() == m_notice;
}

void QtWebView::showNotice(const QString& heading, const QString& text, const QUrl& url,
                           const QList<PanelChoice>& choices) {
    leaveFullScreen();
    m_noticeUrl = url;
    m_notice->setContent(heading, text, choices);
    m_stack->setCurrentWidget(m_notice);
    if (!m_notice->buttons().isEmpty())
        m_notice->buttons().first()->setFocus();
}

void QtWebView::hideNotice() {
    m_noticeUrl.clear();
    showEngineView();
    m_stack->setCurrentWidget(m_view);
    m_view->setVisible(m_onScreen);
}

void QtWebView::onCertificateError(QWebEngineCertificateError error) {
    const QUrl url = error.url();
    // Only the page's own address may be let through, and only by the user;
    // a part of the page from a bad certificate is left out.
    if (!m_loading || !sameSite(url, m_loadingUrl)) {
        error.rejectCertificate();
        return;
    }
    m_certificateError = true;
    error.defer();
    const QString host = url.host();
    const QString text =
        QStringLiteral("Das Zertifikat von %1 ist nicht vertrauenswürdig:\n%2\n\n"
                       "Jemand könnte versuchen, sich als %1 auszugeben und Ihre Daten "
                       "(Passwörter, Nachrichten, Kreditkartennummern) abzufangen.")
            .arg(host, error.description());
    QList<PanelChoice> choices;
    choices << PanelChoice{QStringLiteral("Zurück (empfohlen)"), [this, error]() mutable {
                               error.rejectCertificate();
                               hideNotice();
                               if (m_page->history()->canGoBack())
                                   goBack();
                           }};
    if (error.isOverridable())
        choices << PanelChoice{QStringLiteral("Trotzdem laden (unsicher)"),
                               [this, error, host]() mutable {
                                   EngineProfile::grants(m_private).allowCertificate(host);
                                   hideNotice();
                                   error.acceptCertificate();
                               }};
    showNotice(QStringLiteral("Diese Verbindung ist nicht sicher"), text, url, choices);
}

void QtWebView::onProcessEnded(int status) {
    // Putting a page to sleep ends its process too; that is no crash.
    if (m_discarded || m_page->lifecycleState() == QWebEnginePage::LifecycleState::Discarded)
        return;
    if (status == QWebEnginePage::NormalTerminationStatus)
        return;
    m_loading = false;
    m_titlePending = false;
    tellBusy();
    const QUrl url = m_page->url();
    const QString heading = status == QWebEnginePage::KilledTerminationStatus
                                ? QStringLiteral("Die Seite wurde beendet")
                                : QStringLiteral("Die Seite ist abgestürzt");
    const QString text =
        QStringLiteral("Der Prozess, der %1 anzeigte, hat unerwartet geendet (zu wenig "
                       "Speicher, ein Fehler der Seite oder von außen beendet). Die anderen "
                       "Fenster sind davon nicht betroffen.")
            .arg(url.isEmpty() ? QStringLiteral("diese Seite") : url.toDisplayString());
    showNotice(heading, text, url, {PanelChoice{QStringLiteral("Neu laden"), [this, url] {
                                                    hideNotice();
                                                    if (url.isEmpty())
                                                        refresh();
                                                    else
                                                        setUrl(url);
                                                }}});
    emit statusTextChanged(heading + QLatin1Char('.'));
}

void QtWebView::onPermissionRequested(const QUrl& origin, int feature) {
    const auto f = QWebEnginePage::Feature(feature);
    const auto grant = [this, origin, f](bool allowed) {
        m_page->setFeaturePermission(origin, f,
                                     allowed ? QWebEnginePage::PermissionGrantedByUser
                                             : QWebEnginePage::PermissionDeniedByUser);
    };
    if (const auto known = EngineProfile::grants(m_private).answerFor(origin, feature)) {
        grant(*known);
        return;
    }
    const auto answer = [origin, feature, grant, isPrivate = m_private](bool allowed) {
        EngineProfile::grants(isPrivate).answer(origin, feature, allowed);
        grant(allowed);
    };
    QuestionBar* bar = ask(permissionQuestion(f, siteOf(origin)),
                           {PanelChoice{QStringLiteral("Erlauben"), [answer] { answer(true); }},
                            PanelChoice{QStringLiteral("Blockieren"), [answer] { answer(false); }}},
                           // Closed without an answer: no this time, asked again next time.
                           [grant] { grant(false); });
    bar->setProperty("origin", origin);
    bar->setProperty("feature", feature);
}

QuestionBar* QtWebView::ask(const QString& text, const QList<PanelChoice>& choices,
                            std::function<void()> dismiss) {
    auto* bar = new QuestionBar(text, choices, std::move(dismiss));
    m_questionArea->addWidget(bar);
    return bar;
}

void QtWebView::onPermissionCanceled(const QUrl& origin, int feature) {
    for (QuestionBar* bar : questions())
        if (bar->property("origin").toUrl() == origin &&
            bar->property("feature").toInt() == feature)
            bar->deleteLater();
}

QList<QuestionBar*> QtWebView::questions() const {
    QList<QuestionBar*> bars;
    for (int i = 0; i < m_questionArea->count(); ++i)
        if (auto* bar = qobject_cast<QuestionBar*>(m_questionArea->itemAt(i)->widget()))
            if (!bar->isHidden())
                bars << bar;
    return bars;
}

void QtWebView::onFullScreenRequested(bool on, const std::function<void(bool)>& answer) {
    if (on == !m_fullScreen.isNull()) {
        answer(true);
        return;
    }
    answer(true);
    if (on)
        m_fullScreen = new FullScreenWindow(m_view);
    else
        delete m_fullScreen;
}

FullScreenWindow* QtWebView::fullScreenWindow() const {
    return m_fullScreen;
}

void QtWebView::leaveFullScreen() {
    if (m_fullScreen)
        m_page->triggerAction(QWebEnginePage::ExitFullScreen);
    // Gives the page back at once; the engine's answer finds nothing to do.
    delete m_fullScreen;
}
