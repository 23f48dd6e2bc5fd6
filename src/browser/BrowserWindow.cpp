#include "browser/BrowserWindow.h"

#include "app/Dialogs.h"
#include "browser/BrowserHost.h"
#include "browser/FrmRefresh.h"
#include "browser/Pictures.h"
#include "browser/model/BrowserRules.h"
#include "browser/model/SecurityText.h"
#include "common/Twips.h"
#include "mail/model/MailLink.h"
#include "prefs/model/Prefer.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QStorageInfo>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

bool BrowserWindow::bSuppressPopup = false;

namespace {
// Addresses carried by dropped data: its text, or the first file's path.
QString droppedAddress(const QMimeData* data) {
    if (data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        if (!urls.isEmpty() && urls.first().isLocalFile())
            return urls.first().toLocalFile();
    }
    if (data->hasText())
        return data->text();
    if (data->hasUrls() && !data->urls().isEmpty())
        return data->urls().first().toString();
    return QString();
}
} // namespace

BrowserWindow::BrowserWindow(BrowserHost* host, QWidget* parent)
    : QMdiSubWindow(parent), m_host(host) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_client = new QWidget;
    auto* layout = new QVBoxLayout(m_client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildBars();
    layout->addWidget(m_coolBar);
    m_web = m_host->createWebView(m_client);
    m_web->setParent(this);
    layout->addWidget(m_web->widget(), 1);
    setWidget(m_client);
    setWindowIcon(browserPicture(1));
    resize(640, 480);

    m_timTimer.setInterval(55);
    connect(&m_timTimer, &QTimer::timeout, this, &BrowserWindow::timTimer_Timer);
    m_timRoundtrip.setInterval(1750);
    connect(&m_timRoundtrip, &QTimer::timeout, this, &BrowserWindow::timRoundtrip_Timer);
    connect(&m_timRefresh, &QTimer::timeout, this, &BrowserWindow::timRefresh_Timer);

    connect(m_web, &WebView::statusTextChanged, this,
            [this](const QString& text) { m_host->setStatusText(text); });
    connect(m_web, &WebView::titleChanged, this, [this](const QString& t) { sTitle = t; });
    connect(m_web, &WebView::beforeNavigate, this, [this](const QString&) {
        m_bSecure = false;
        StartBusyIndicator();
        ControlResize();
    });
    connect(m_web, &WebView::newWindowRequested, this, &BrowserWindow::brwWebBrowser_NewWindow2);
    connect(m_web, &WebView::navigateComplete, this,
            &BrowserWindow::brwWebBrowser_NavigateComplete2);
    connect(m_web, &WebView::geometryChangeRequested, this,
            &BrowserWindow::brwWebBrowser_WindowSetGeometry);
    connect(m_web, &WebView::windowClosing, this, &BrowserWindow::brwWebBrowser_WindowClosing,
            Qt::QueuedConnection);
    connect(m_web, &WebView::secureLevelChanged, this, [this](int level) {
        m_bSecure = level > 0;
        m_nSecureLevel = level;
    });
    connect(m_web, &WebView::downloadRequested, this, [this](const QString&) {
        // A download must not hold up a link walk.
        if (m_timRoundtrip.isActive())
            m_web->stop();
    });
}

BrowserWindow::~BrowserWindow() {
    // A window deleted without a close event still leaves the registry.
    if (!m_unloaded) {
        m_unloaded = true;
        m_host->browserUnloaded(this);
    }
}

void BrowserWindow::buildBars() {
    m_coolBar = new QWidget(m_client);
    m_coolBar->setObjectName(QStringLiteral("CoolBar1"));
    auto* grid = new QGridLayout(m_coolBar);
    grid->setContentsMargins(2, 1, 2, 1);
    grid->setSpacing(2);

    m_bandToolbar = new QWidget(m_coolBar);
    m_bandToolbar->setObjectName(QStringLiteral("Toolbar"));
    auto* tbLayout = new QHBoxLayout(m_bandToolbar);
    tbLayout->setContentsMargins(0, 0, 0, 0);
    m_toolBar = new QToolBar(m_bandToolbar);
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    tbLayout->addWidget(m_toolBar);
    tbLayout->addStretch(1);

    m_anim = new QLabel(m_coolBar);
    m_anim->setObjectName(QStringLiteral("Anim"));
    m_anim->setPixmap(browserPicture(1));
    // All its pictures have one size; a fixed size keeps each new frame from
    // laying out the whole window again.
    m_anim->setFixedSize(m_anim->sizeHint());
    m_anim->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_anim, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_host->popupActiveWindowMenu(m_anim->mapToGlobal(pos)); });

    m_bandAdress = new QWidget(m_coolBar);
    m_bandAdress->setObjectName(QStringLiteral("Adress"));
    auto* adLayout = new QHBoxLayout(m_bandAdress);
    adLayout->setContentsMargins(2, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("Adresse:"), m_bandAdress);
    caption->setObjectName(QStringLiteral("AdressCaption"));
    m_address = new QComboBox(m_bandAdress);
    m_address->setObjectName(QStringLiteral("cboAddress"));
    m_address->setEditable(true);
    m_address->setInsertPolicy(QComboBox::NoInsert);
    // Enter goes to the text exactly as typed: no completion from the list,
    // and no jump to a list entry that matches it but for letter case.
    m_address->setCompleter(nullptr);
    m_address->setDuplicatesEnabled(true);
    m_address->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_address->setMinimumContentsLength(10);
    m_address->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_address->lineEdit()->setAcceptDrops(true);
    m_address->lineEdit()->installEventFilter(this);
    connect(m_address, qOverload<int>(&QComboBox::activated), this, [this](int) {
        if (!m_bUpdatingAddress)
            GoToAddressBox();
    });
    adLayout->addWidget(caption);
    adLayout->addWidget(m_address, 1);

    grid->addWidget(m_bandToolbar, 0, 0);
    grid->addWidget(m_anim, 0, 1, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_bandAdress, 1, 0);
    grid->setColumnStretch(0, 1);

    auto* refreshMenu = new QMenu(this);
    refreshMenu->addAction(QStringLiteral("Refresh-Intervall..."))
        ->setData(QStringLiteral("Refresh"));
    refreshMenu->addAction(QStringLiteral("Alle Links dieser Seite durchlaufen..."))
        ->setData(QStringLiteral("Roundtrip"));
    auto* homeMenu = new QMenu(this);
    homeMenu->addAction(QStringLiteral("Als Startadresse übernehmen..."))
        ->setData(QStringLiteral("GetHome"));
    auto* cloneMenu = new QMenu(this);
    cloneMenu->addAction(QStringLiteral("Browser klonen..."))->setData(QStringLiteral("Cloneit"));
    cloneMenu->addAction(QStringLiteral("&Neuer Browser..."))->setData(QStringLiteral("Startit"));
    cloneMenu->addSeparator();
    cloneMenu->addAction(QStringLiteral("Alle Links dieser Seite öffnen..."))
        ->setData(QStringLiteral("OpenallA"));
    cloneMenu->addSeparator();
    cloneMenu->addAction(QStringLiteral("Alle Fenster &schließen..."))
        ->setData(QStringLiteral("CloseallWin"));
    auto* printMenu = new QMenu(this);
    printMenu->addAction(QStringLiteral("Druckvorschau..."))->setData(QStringLiteral("ppreview"));
    printMenu->addAction(QStringLiteral("Drucken..."))->setData(QStringLiteral("print"));
    m_driveMenu = new QMenu(this);
    for (QMenu* menu : {refreshMenu, homeMenu, cloneMenu, printMenu, m_driveMenu}) {
        connect(menu, &QMenu::triggered, this, [this](QAction* a) {
            if (a->data().isValid())
                tbToolBar_ButtonMenuClick(a->data().toString());
            else
                tbToolBar_ButtonMenuClick(QString(), a->text());
        });
    }

    addButton(QStringLiteral("Back"), QStringLiteral("Zurück"), QStyle::SP_ArrowBack);
    addButton(QStringLiteral("Forward"), QStringLiteral("Vorwärts"), QStyle::SP_ArrowForward);
    addButton(QStringLiteral("Stop"), QStringLiteral("Abbruch"), QStyle::SP_BrowserStop);
    addButton(QStringLiteral("Refresh"), QStringLiteral("Aktualisieren"), QStyle::SP_BrowserReload,
              refreshMenu);
    addButton(QStringLiteral("Home"), QStringLiteral("Startseite"), QStyle::SP_DirHomeIcon,
              homeMenu);
    addButton(QStringLiteral("Search"), QStringLiteral("Suchen"),
              QStyle::SP_FileDialogContentsView);
    addButton(QStringLiteral("Clone"), QStringLiteral("Klonen"), QStyle::SP_FileDialogNewFolder,
              cloneMenu);
    addButton(QStringLiteral("Drive"), QStringLiteral("Laufwerke"), QStyle::SP_DriveHDIcon,
              m_driveMenu);
    addButton(QStringLiteral("Mail"), QStringLiteral("E-Mail"), QStyle::SP_DialogOpenButton);
    addButton(QStringLiteral("Sendurl"), QStringLiteral("Link senden"), QStyle::SP_CommandLink);
    addButton(QStringLiteral("Bookm"), QStringLiteral("Bookmarks"),
              QStyle::SP_FileDialogDetailedView);
    addButton(QStringLiteral("Save"), QStringLiteral("Speichern"), QStyle::SP_DialogSaveButton);
    addButton(QStringLiteral("Print"), QStringLiteral("Drucken"), QStyle::SP_FileIcon, printMenu);
}

QToolButton* BrowserWindow::addButton(const QString& key, const QString& text, int standardIcon,
                                      QMenu* menu) {
    auto* button = new QToolButton(m_toolBar);
    button->setObjectName(key);
    button->setText(text);
    button->setAutoRaise(true);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    if (menu) {
        button->setMenu(menu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    connect(button, &QToolButton::clicked, this, [this, key] { tbToolBar_ButtonClick(key); });
    m_toolBar->addWidget(button);
    return button;
}

void BrowserWindow::setToolTips() {
    const Prefer& prefs = m_host->prefs();
    const std::pair<const char*, QString> tips[] = {
        {"Back", QStringLiteral("Zurück")},
        {"Forward", QStringLiteral("Vorwärst")},
        {"Stop", QStringLiteral("Abbruch")},
        {"Refresh", QStringLiteral("Aktualisieren")},
        {"Home", prefs.HomeUrl},
        {"Search", prefs.SearchEngine},
        {"Clone", QStringLiteral("Browser klonen...")},
        {"Drive", QStringLiteral("Laufwerke")},
        {"Mail", QStringLiteral("E-Mail")},
        {"Sendurl", QStringLiteral("Link per E-Mail versenden...")},
        {"Bookm", QStringLiteral("Bookmark Archiv")},
        {"Save", QStringLiteral("Webseite speichern...")},
        {"Print", QStringLiteral("Drucken...")},
    };
    for (const auto& [key, tip] : tips) {
        if (auto* button = m_toolBar->findChild<QToolButton*>(QLatin1String(key)))
            button->setToolTip(tip);
    }
}

void BrowserWindow::fillDriveMenu() {
    m_driveMenu->clear();
    bool first = true;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        if (!first)
            m_driveMenu->addSeparator();
        first = false;
        QString text = volume.rootPath();
        const QString label = volume.displayName();
        if (!label.isEmpty() && label != text)
            text += QStringLiteral(" [") + label + QLatin1Char(']');
        QAction* action = m_driveMenu->addAction(text);
        action->setProperty("drivePath", volume.rootPath());
    }
}

void BrowserWindow::Form_Load() {
    bSuppressPopup = false;
    fillDriveMenu();
    StartingAddress = BrowserRules::trimQuotes(StartingAddress);
    if (!StartingAddress.isEmpty())
        StartBusyIndicator();
    ControlResize();
}

void BrowserWindow::Form_Activate() {
    setToolTips();
    if (auto* caption = m_bandAdress->findChild<QLabel*>(QStringLiteral("AdressCaption")))
        caption->setText(QStringLiteral("Adresse:"));
    ControlResize();
    m_host->UpdateTab();
}

void BrowserWindow::Navigate(const QString& sUrl) {
    m_web->navigate(sUrl.isEmpty() ? StartingAddress : sUrl);
}

void BrowserWindow::ControlResize() {
    // The layouts place the page below the bar area; only the pending layout
    // needs to run now.
    if (m_client->layout())
        m_client->layout()->activate();
}

void BrowserWindow::PubResize() {
    if (bandVisible(Band::Toolbar) || bandVisible(Band::Anim))
        m_coolBar->setVisible(true);
    ControlResize();
}

bool BrowserWindow::bandVisible(Band band) const {
    switch (band) {
    case Band::Toolbar:
        return !m_bandToolbar->isHidden();
    case Band::Anim:
        return !m_anim->isHidden();
    case Band::Adress:
        return !m_bandAdress->isHidden();
    }
    return false;
}

void BrowserWindow::setBandVisible(Band band, bool visible) {
    switch (band) {
    case Band::Toolbar:
        m_bandToolbar->setVisible(visible);
        break;
    case Band::Anim:
        m_anim->setVisible(visible);
        break;
    case Band::Adress:
        m_bandAdress->setVisible(visible);
        break;
    }
}

bool BrowserWindow::coolBarVisible() const {
    return !m_coolBar->isHidden();
}
void BrowserWindow::setCoolBarVisible(bool visible) {
    m_coolBar->setVisible(visible);
}

void BrowserWindow::setBothBands(bool visible) {
    setBandVisible(Band::Toolbar, visible);
    setBandVisible(Band::Anim, visible);
    setBandVisible(Band::Adress, visible);
    setCoolBarVisible(visible);
}

void BrowserWindow::StartBusyIndicator() {
    m_animFrame = 1;
    m_animFrames = 4;
    m_timTimer.start();
}

void BrowserWindow::timTimer_Timer() {
    if (m_web->isBusy()) {
        setWindowTitle(QStringLiteral("In Bearbeitung..."));
        m_animFrame = BrowserRules::nextAnimFrame(m_animFrame, m_animFrames);
        // With hundreds of windows loading, repainting animations nobody can
        // see would take the whole processor: each repaint of a covered
        // window is clipped against every window above it.
        if (m_host->isWindowVisible(this))
            m_anim->setPixmap(browserPicture(m_animFrame));
        return;
    }
    m_timTimer.stop();
    m_roundTrip.pageLoaded();
    if (m_bSecure) {
        m_anim->setPixmap(browserPicture(5));
        if (const std::optional<QString> text = securityLevelText(m_nSecureLevel);
            text && m_nSecureLevel > 0)
            m_anim->setToolTip(*text);
    } else {
        m_anim->setPixmap(browserPicture(1));
        m_anim->setToolTip(QString());
    }
    BrowserRules::DocKind kind = BrowserRules::DocKind::None;
    if (m_web->hasDocument()) {
        kind = m_web->documentKind() == WebView::DocumentKind::Folder
                   ? BrowserRules::DocKind::Folder
                   : BrowserRules::DocKind::Html;
        ControlResize();
    }
    sTitle = BrowserRules::pollTitle(kind, m_web->documentTitle(), m_web->locationName(),
                                     m_web->folderPath(), m_web->locationUrl());
    setWindowTitle(sTitle);
    m_host->SetTapTitle(sTitle, ID);
}

void BrowserWindow::openRefreshDialog() {
    nLeft = clampInt16(pxToTwips(x()));
    nTop = clampInt16(pxToTwips(y()));
    FrmRefresh dialog(iSekunden, mapToGlobal(QPoint(0, 0)), this);
    Dialogs::runModal([&] { return dialog.exec(); });
    iSekunden = dialog.seconds();
    SetRefresh();
}

void BrowserWindow::SetRefresh() {
    const int interval = qBound(0, iSekunden, 65) * 1000;
    m_timRefresh.setInterval(interval);
    if (interval != 0) {
        m_timRefresh.start();
        StartBusyIndicator();
    } else {
        m_timRefresh.stop();
    }
}

void BrowserWindow::timRefresh_Timer() {
    m_web->refresh();
}

static double walkClock() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void BrowserWindow::startRoundTrip() {
    if (!m_web->hasDocument())
        return;
    QPointer<BrowserWindow> self(this);
    m_web->collectLinks([self](const QStringList& raw) {
        if (!self)
            return;
        if (self->m_roundTrip.start(LinkWalk::selectLinks(raw), self->m_web->locationUrl(),
                                    walkClock()))
            self->m_timRoundtrip.start(1750);
    });
}

void BrowserWindow::timRoundtrip_Timer() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const LinkWalk::RoundTrip::Step step = m_roundTrip.tick(walkClock());
    if (step.kind == LinkWalk::RoundTrip::Step::Navigate) {
        m_web->navigate(step.url);
    } else if (step.kind == LinkWalk::RoundTrip::Step::Finish) {
        m_timRoundtrip.stop();
        m_web->navigate(step.url);
    }
}

void BrowserWindow::GoToAddressBox() {
    if (m_bUpdatingAddress)
        return;
    StartBusyIndicator();
    if (m_web->widget()->isHidden())
        return;
    m_web->navigate(m_address->currentText());
    m_address->update();
}

void BrowserWindow::tbToolBar_ButtonClick(const QString& key) {
    bSuppressPopup = false;
    StartBusyIndicator();
    const Prefer& prefs = m_host->prefs();
    static const QStringList suppressing = {
        QStringLiteral("Back"), QStringLiteral("Forward"), QStringLiteral("Refresh"),
        QStringLiteral("Home"), QStringLiteral("Search"),  QStringLiteral("Clone"),
        QStringLiteral("Mail"), QStringLiteral("Sendurl"), QStringLiteral("Bookm"),
        QStringLiteral("Save"), QStringLiteral("Print")};
    if (suppressing.contains(key))
        bSuppressPopup = true;
    if (key == QLatin1String("Back")) {
        m_web->goBack();
    } else if (key == QLatin1String("Forward")) {
        m_web->goForward();
    } else if (key == QLatin1String("Refresh")) {
        m_web->refresh();
    } else if (key == QLatin1String("Home")) {
        m_web->navigate(prefs.HomeUrl);
    } else if (key == QLatin1String("Search")) {
        m_web->navigate(prefs.SearchEngine);
    } else if (key == QLatin1String("Clone")) {
        m_host->setHistoryUrl(m_web->locationUrl());
        m_host->NewBrowser();
        m_host->setHistoryUrl(QString());
    } else if (key == QLatin1String("Mail")) {
        m_host->StartMail();
    } else if (key == QLatin1String("Sendurl")) {
        // Subject and body are encoded, so an "&" in a title cannot cut the
        // address short.
        m_web->navigate(MailLink::linkUrl(m_web->locationName(), m_web->locationUrl())
                            .toString(QUrl::FullyEncoded));
    } else if (key == QLatin1String("Bookm")) {
        m_host->StartBookmEd();
    } else if (key == QLatin1String("Stop")) {
        m_timTimer.stop();
        m_timRefresh.stop();
        m_timRoundtrip.stop();
        m_roundTrip.stop();
        iSekunden = 0;
        m_anim->setPixmap(browserPicture(1));
        if (m_web->isBusy()) {
            m_web->stop();
            setWindowTitle(m_web->locationUrl());
        }
    } else if (key == QLatin1String("Save")) {
        if (m_web->hasDocument())
            m_web->execCommand(WebView::SaveAs);
    } else if (key == QLatin1String("Print")) {
        if (m_web->hasDocument())
            m_web->execCommand(WebView::Print);
    }
}

void BrowserWindow::tbToolBar_ButtonMenuClick(const QString& key, const QString& text) {
    bSuppressPopup = true;
    if (m_web->widget()->isHidden())
        return;
    if (key == QLatin1String("Refresh")) {
        openRefreshDialog();
    } else if (key == QLatin1String("Roundtrip")) {
        startRoundTrip();
    } else if (key == QLatin1String("OpenallA")) {
        m_host->OpenAllAnchors(m_web);
    } else if (key == QLatin1String("ppreview")) {
        if (m_web->hasDocument())
            m_web->execCommand(WebView::PrintPreview);
    } else if (key == QLatin1String("print")) {
        if (m_web->hasDocument())
            m_web->execCommand(WebView::Print);
    } else if (key == QLatin1String("Cloneit")) {
        m_host->setHistoryUrl(m_web->locationUrl());
        m_host->NewBrowser();
        m_host->setHistoryUrl(QString());
    } else if (key == QLatin1String("Startit")) {
        m_host->NewBrowser();
    } else if (key == QLatin1String("CloseallWin")) {
        m_host->CloseAllBrowser();
    } else if (key == QLatin1String("GetHome")) {
        Prefer& prefs = m_host->prefs();
        prefs.HomeUrl = m_web->locationUrl();
        QString error;
        if (!prefs.save(&error))
            Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Fehlermeldung"), error);
        if (auto* home = m_toolBar->findChild<QToolButton*>(QStringLiteral("Home")))
            home->setToolTip(prefs.HomeUrl.trimmed());
    } else if (key.isEmpty()) {
        // A drive entry: show that folder.
        for (QAction* action : m_driveMenu->actions()) {
            if (action->text() == text) {
                const QString path = action->property("drivePath").toString();
                m_web->navigate(QUrl::fromLocalFile(path).toString());
                break;
            }
        }
    }
}

void BrowserWindow::brwWebBrowser_NewWindow2(WebView::NewWindowRequest* request) {
    if (!m_host->popupsAllowed() || bSuppressPopup) {
        bSuppressPopup = false;
        return;
    }
    BrowserWindow* window = m_host->CreateBrowser(QStringLiteral("MDIChild"));
    if (!window) {
        bSuppressPopup = false;
        return;
    }
    window->ControlResize();
    if (m_host->popupsToBack()) {
        window->lower();
        if (QMdiArea* area = mdiArea())
            area->setActiveSubWindow(this);
    } else {
        window->raise();
        if (QMdiArea* area = mdiArea())
            area->setActiveSubWindow(window);
    }
    request->target = window->webView();
}

void BrowserWindow::brwWebBrowser_NavigateComplete2(const QString& url) {
    ControlResize();
    m_bUpdatingAddress = true;
    const QString location = m_web->locationUrl();
    QStringList addresses;
    addresses.reserve(m_address->count() + 1);
    for (int i = 0; i < m_address->count(); ++i)
        addresses << m_address->itemText(i);
    BrowserRules::rememberAddress(addresses, location);
    m_address->clear();
    m_address->addItems(addresses);
    m_address->setCurrentIndex(0);
    m_host->AddToHistory(BrowserRules::historyAddress(url, location, m_web->locationName()),
                         sTitle);
    m_bUpdatingAddress = false;
    m_host->UpdateTab();
    m_host->SetModalLock(false);
}

void BrowserWindow::brwWebBrowser_WindowSetGeometry(int, int, int width, int height) {
    if (width > 0) {
        if (isMaximized() || isMinimized())
            showNormal();
        resize(BrowserRules::windowWidthFor(this->width(), m_client->width(), width),
               this->height());
    }
    if (height > 0) {
        if (isMaximized() || isMinimized())
            showNormal();
        resize(this->width(),
               BrowserRules::windowHeightFor(this->height(), m_client->height(), height,
                                             m_coolBar->height(), coolBarVisible()));
    }
    ControlResize();
}

void BrowserWindow::brwWebBrowser_WindowClosing() {
    close();
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    m_timTimer.stop();
    m_timRoundtrip.stop();
    m_timRefresh.stop();
    if (!m_unloaded) {
        m_unloaded = true;
        m_host->browserUnloaded(this);
    }
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_address->lineEdit()) {
        // Enter is taken here: the box hands an unused Return back to its
        // line edit, which would report it a second time.
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                GoToAddressBox();
                return true;
            }
        } else if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasText() || drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString address = droppedAddress(drop->mimeData());
            if (!address.isEmpty()) {
                m_address->setEditText(address);
                drop->acceptProposedAction();
                GoToAddressBox();
            }
            return true;
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}
