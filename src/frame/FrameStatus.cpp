#include "frame/FrameStatus.h"

#include "browser/Pictures.h"
#include "downloads/DownloadList.h"
#include "ui/DesktopNotices.h"

#include <QEvent>
#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>

FrameStatus::FrameStatus(QStatusBar* bar, DownloadList& downloads, QObject* parent)
    : QObject(parent), m_bar(bar), m_downloadList(downloads) {
    bar->setObjectName(QStringLiteral("StatusBar1"));
    // Panel "status": a picture (the magnifier while mail is searched) and
    // the text.
    m_picture = new QLabel(bar);
    m_picture->setObjectName(QStringLiteral("statusPicture"));
    bar->addWidget(m_picture);
    m_text = new QLabel(bar);
    m_text->setObjectName(QStringLiteral("status"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setMinimumWidth(50);
    m_mailSymbol = new QLabel(bar);
    m_mailSymbol->setObjectName(QStringLiteral("email"));
    m_mailSymbol->setPixmap(mailPicture());
    m_mailSymbol->installEventFilter(this);
    bar->addWidget(m_text, 1);
    m_zoom = new QLabel(bar);
    m_zoom->setObjectName(QStringLiteral("zoom"));
    m_zoom->hide();
    m_blocked = new QLabel(bar);
    m_blocked->setObjectName(QStringLiteral("blocked"));
    m_blocked->hide();
    m_downloadsText = new QLabel(bar);
    m_downloadsText->setObjectName(QStringLiteral("downloads"));
    m_downloadsText->hide();
    bar->addPermanentWidget(m_blocked);
    bar->addPermanentWidget(m_zoom);
    bar->addPermanentWidget(m_downloadsText);
    bar->addPermanentWidget(m_mailSymbol);
    m_mailSymbol->hide();

    connect(&downloads, &DownloadList::added, this, &FrameStatus::showDownloads);
    connect(&downloads, &DownloadList::changed, this, &FrameStatus::showDownloads);
    connect(&downloads, &DownloadList::removed, this, &FrameStatus::showDownloads);
    // A site's notification where the desktop has no tray to show it: it
    // stands over the status panels for a while, so the page's own "Fertig"
    // right after it does not wipe it away unseen.
    connect(&DesktopNotices::instance(), &DesktopNotices::shown, this,
            [this](const QString& title, const QString& text) {
                constexpr int ShownMs = 10000;
                if (!QSystemTrayIcon::isSystemTrayAvailable())
                    m_bar->showMessage(title.isEmpty() ? text : title + QStringLiteral(": ") + text,
                                       ShownMs);
            });
}

void FrameStatus::setWanted(bool wanted) {
    m_wanted = wanted;
    m_bar->setVisible(wanted);
}

void FrameStatus::setText(const QString& text) {
    m_text->setText(text);
}

void FrameStatus::showSearching(bool searching) {
    m_picture->setPixmap(searching ? lookPicture() : QPixmap());
}

void FrameStatus::showMailWaiting(const QString& hint) {
    m_mailSymbol->setToolTip(hint);
    m_mailSymbol->show();
}

void FrameStatus::showZoom(double factor) {
    const int percent = qRound(factor * 100);
    m_zoom->setText(QStringLiteral("Zoom: %1 %").arg(percent));
    m_zoom->setVisible(percent != 100);
}

void FrameStatus::showBlocked(int count) {
    m_blocked->setText(QStringLiteral("%1 blockiert").arg(count));
    m_blocked->setToolTip(QStringLiteral("Anfragen dieser Seite, die Korvix blockiert hat"));
    m_blocked->setVisible(count > 0);
}

void FrameStatus::showDownloads() {
    const int running = m_downloadList.active();
    if (running == 0) {
        m_downloadsText->hide();
        return;
    }
    const int percent = m_downloadList.overallPercent();
    QString text =
        running == 1 ? QStringLiteral("1 Download") : QStringLiteral("%1 Downloads").arg(running);
    if (percent >= 0)
        text += QStringLiteral(": %1 %").arg(percent);
    m_downloadsText->setText(text);
    m_downloadsText->show();
}

bool FrameStatus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_mailSymbol && event->type() == QEvent::MouseButtonDblClick) {
        m_mailSymbol->hide();
        emit mailSymbolDoubleClicked();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
