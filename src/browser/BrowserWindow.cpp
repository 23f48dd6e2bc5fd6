#include "browser/BrowserWindow.h"

#include "browser/AddressBox.h"
#include "browser/AddressSuggestions.h"
#include "browser/BrowserHost.h"
#include "browser/BrowserToolbar.h"
#include "browser/BrowserWindows.h"
#include "browser/Pictures.h"
#include "browser/RefreshDialog.h"
#include "browser/model/AddressInput.h"
#include "browser/model/BrowserRules.h"
#include "browser/model/PopupPolicy.h"
#include "browser/model/SecurityText.h"
#include "common/Twips.h"
#include "mail/model/MailLink.h"
#include "prefs/model/Prefer.h"
#include "shell/OpenRequest.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QTime>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
// The link walk's clock: seconds of the day, as the walk's time-out counts.
double walkClock() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}
} // namespace

BrowserWindow::BrowserWindow(BrowserHost* host, const OpenRequest& request, QWidget* parent)
    : QMdiSubWindow(parent), m_host(host) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_client = new QWidget;
    auto* layout = new QVBoxLayout(m_client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildBars();
    layout->addWidget(m_coolBar);
    m_private = request.isPrivate;
    m_web = m_host->createWebView(m_client, m_private);
    m_web->setParent(this);
    layout->addWidget(m_web->widget(), 1);
    setWidget(m_client);
    setWindowIcon(m_private ? privateWindowPicture() : browserPicture(1));
    resize(640, 480);

    m_walkTimer.setInterval(1750);
    connect(&m_walkTimer, &QTimer::timeout, this, &BrowserWindow::walkStep);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { m_web->refresh(); });

    connect(m_web, &WebView::statusTextChanged, this, &BrowserWindow::statusTextChanged);
    connect(m_web, &WebView::busyChanged, this, &BrowserWindow::onBusyChanged);
    connect(m_web, &WebView::titleChanged, this, [this](const QString& t) { m_title = t; });
    connect(m_web, &WebView::beforeNavigate, this, [this](const QString&) {
        m_secure = false;
        startBusyIndicator();
        layoutControls();
    });
    connect(m_web, &WebView::newWindowRequested, this, &BrowserWindow::onNewWindowRequested);
    connect(m_web, &WebView::navigateComplete, this, &BrowserWindow::onNavigateComplete);
    connect(m_web, &WebView::geometryChangeRequested, this, &BrowserWindow::onGeometryRequested);
    connect(m_web, &WebView::windowClosing, this, &QWidget::close, Qt::QueuedConnection);
    connect(m_web, &WebView::secureLevelChanged, this, [this](int level) {
        m_secure = level > 0;
        m_secureLevel = level;
    });
    connect(m_web, &WebView::downloadRequested, this, [this](const QString&) {
        // A download must not hold up a link walk.
        if (m_walkTimer.isActive())
            m_web->stop();
    });
    connectTools();
    // Its system menu would claim Ctrl+W and Ctrl+F4 too, and a key two
    // actions claim does nothing: the frame's "Schließen" closes the window.
    if (QMenu* menu = systemMenu())
        for (QAction* a : menu->actions())
            a->setShortcuts({});

    m_startingAddress = BrowserRules::trimQuotes(request.address);
    m_startingHistory = request.history;
    m_address->setEditText(m_startingAddress);
    showBars(request);
    if (!m_startingAddress.isEmpty())
        startBusyIndicator();
    layoutControls();
}

BrowserWindow::~BrowserWindow() {
    // A window deleted without a close event still leaves the registry; it
    // is on its way out already, so nobody is to delete it later.
    setAttribute(Qt::WA_DeleteOnClose, false);
    stopAnimation();
    leaveRegistry();
}

void BrowserWindow::leaveRegistry() {
    if (m_closed)
        return;
    m_closed = true;
    m_host->windows().windowClosed(this);
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
    m_toolBar = new BrowserToolbar(m_bandToolbar);
    tbLayout->addWidget(m_toolBar);
    tbLayout->addStretch(1);
    connect(m_toolBar, &BrowserToolbar::buttonClicked, this, &BrowserWindow::onButtonClicked);
    connect(m_toolBar, &BrowserToolbar::menuChosen, this, &BrowserWindow::onMenuChosen);

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
    m_address = new AddressBox(m_bandAdress);
    m_address->setObjectName(QStringLiteral("cboAddress"));
    m_address->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_address->setMinimumContentsLength(10);
    m_address->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_address, &AddressBox::addressEntered, this, &BrowserWindow::goToAddressBox);
    connect(m_address, &AddressBox::suggestionChosen, this, &BrowserWindow::openSuggestion);
    m_address->setSuggestions(&m_host->suggestions());
    connect(m_address, qOverload<int>(&QComboBox::activated), this, [this](int) {
        if (!m_updatingAddress)
            goToAddressBox();
    });
    adLayout->addWidget(caption);
    adLayout->addWidget(m_address, 1);

    grid->addWidget(m_bandToolbar, 0, 0);
    grid->addWidget(m_anim, 0, 1, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_bandAdress, 1, 0);
    grid->setColumnStretch(0, 1);
}

// The bars the request asks for, else those of the preferences; the bar
// area goes when neither is left.
void BrowserWindow::showBars(const OpenRequest& request) {
    const Prefer& prefs = m_host->preferences();
    const bool toolbar = request.toolbar.value_or(prefs.Toolbar != 0);
    const bool addressBar = request.addressBar.value_or(prefs.Adresszeile != 0);
    setBandVisible(Band::Toolbar, toolbar);
    setBandVisible(Band::Adress, addressBar);
    if (!toolbar && !addressBar) {
        setBandVisible(Band::Anim, false);
        setCoolBarVisible(false);
    }
}

void BrowserWindow::onActivated() {
    const Prefer& prefs = m_host->preferences();
    m_toolBar->setToolTips(prefs.HomeUrl, prefs.SearchEngine);
    if (auto* caption = m_bandAdress->findChild<QLabel*>(QStringLiteral("AdressCaption")))
        caption->setText(QStringLiteral("Adresse:"));
    layoutControls();
    emit pageChanged();
}

void BrowserWindow::navigate(const QString& url) {
    if (url.isEmpty() && !m_startingHistory.isEmpty()) {
        m_web->restoreHistory(std::exchange(m_startingHistory, QByteArray()));
        return;
    }
    m_web->navigate(url.isEmpty() ? m_startingAddress : url);
}

void BrowserWindow::focusAddressBox() {
    // The box comes into sight for it if the user had hidden it.
    if (!bandVisible(Band::Adress)) {
        setBandVisible(Band::Adress, true);
        setBandVisible(Band::Anim, true);
        setCoolBarVisible(true);
        relayout();
    }
    m_address->focusForTyping();
}

void BrowserWindow::reload(bool bypassingCache) {
    startBusyIndicator();
    if (bypassingCache)
        m_web->reloadBypassingCache();
    else
        m_web->refresh();
}

void BrowserWindow::goBack() {
    startBusyIndicator();
    m_web->goBack();
}

void BrowserWindow::goForward() {
    startBusyIndicator();
    m_web->goForward();
}

void BrowserWindow::goHome() {
    startBusyIndicator();
    m_web->navigate(m_host->preferences().HomeUrl);
}

void BrowserWindow::stopLoading() {
    if (m_web->isBusy())
        onButtonClicked(BrowserToolbar::Command::Stop);
}

void BrowserWindow::layoutControls() {
    // The layouts place the page below the bar area; only the pending layout
    // needs to run now.
    if (m_client->layout())
        m_client->layout()->activate();
}

void BrowserWindow::relayout() {
    if (bandVisible(Band::Toolbar) || bandVisible(Band::Anim))
        m_coolBar->setVisible(true);
    layoutControls();
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
    emit layoutChanged();
}

bool BrowserWindow::coolBarVisible() const {
    return !m_coolBar->isHidden();
}

void BrowserWindow::setCoolBarVisible(bool visible) {
    m_coolBar->setVisible(visible);
    emit layoutChanged();
}

void BrowserWindow::setBothBands(bool visible) {
    setBandVisible(Band::Toolbar, visible);
    setBandVisible(Band::Anim, visible);
    setBandVisible(Band::Adress, visible);
    setCoolBarVisible(visible);
}

// The busy animation starts over; with no page on its way the page as it
// is shows at once.
void BrowserWindow::startBusyIndicator() {
    m_animFrame = 1;
    m_animFrames = 4;
    if (m_web->isBusy())
        showBusy();
    else
        showPageCame();
}

void BrowserWindow::onBusyChanged(bool busy) {
    if (busy)
        showBusy();
    // A page the user stopped keeps the caption the stop gave it.
    else if (m_busyShown)
        showPageCame();
}

void BrowserWindow::showBusy() {
    m_busyShown = true;
    setWindowTitle(caption(QStringLiteral("In Bearbeitung...")));
    startAnimation();
}

namespace {
// Every busy window's animation turns on one clock. Each step then repaints
// the frame once for all of them, not once per window: drawing the frame
// with the pages' pictures in it is the dear part, the more so where it is
// drawn in software.
QPointer<QTimer> g_animClock;
int g_animating = 0;
} // namespace

void BrowserWindow::startAnimation() {
    if (m_animStep)
        return;
    if (!g_animClock) {
        g_animClock = new QTimer(QCoreApplication::instance());
        g_animClock->setInterval(55);
    }
    m_animStep = connect(g_animClock, &QTimer::timeout, this, &BrowserWindow::turnAnimation);
    if (++g_animating == 1)
        g_animClock->start();
}

void BrowserWindow::stopAnimation() {
    if (!m_animStep)
        return;
    disconnect(m_animStep);
    m_animStep = {};
    if (--g_animating == 0 && g_animClock)
        g_animClock->stop();
}

void BrowserWindow::turnAnimation() {
    m_animFrame = BrowserRules::nextAnimFrame(m_animFrame, m_animFrames);
    // With hundreds of windows loading, repainting animations nobody can
    // see would take the whole processor: each repaint of a covered
    // window is clipped against every window above it.
    if (m_host->windows().isWindowVisible(this))
        m_anim->setPixmap(browserPicture(m_animFrame));
}

// The page has come: the lock or the idle picture, and the page's title.
void BrowserWindow::showPageCame() {
    m_busyShown = false;
    stopAnimation();
    m_roundTrip.pageLoaded();
    if (m_secure) {
        m_anim->setPixmap(browserPicture(5));
        if (const std::optional<QString> text = securityLevelText(m_secureLevel);
            text && m_secureLevel > 0)
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
        layoutControls();
    }
    m_title = BrowserRules::pollTitle(kind, m_web->documentTitle(), m_web->locationName(),
                                      m_web->folderPath(), m_web->locationUrl());
    setWindowTitle(caption(m_title));
    emit titleShown(caption(m_title));
}

void BrowserWindow::openRefreshDialog() {
    RefreshDialog dialog(m_refreshSeconds, mapToGlobal(QPoint(0, 0)), this);
    Dialogs::runModal([&] { return dialog.exec(); });
    setRefreshSeconds(dialog.seconds());
}

void BrowserWindow::setRefreshSeconds(int seconds) {
    m_refreshSeconds = seconds;
    applyRefresh();
}

void BrowserWindow::applyRefresh() {
    const int interval = qBound(0, m_refreshSeconds, 65) * 1000;
    m_refreshTimer.setInterval(interval);
    if (interval != 0) {
        m_refreshTimer.start();
        startBusyIndicator();
    } else {
        m_refreshTimer.stop();
    }
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
            self->m_walkTimer.start(1750);
    });
}

void BrowserWindow::walkStep() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const LinkWalk::RoundTrip::Step step = m_roundTrip.tick(walkClock());
    if (step.kind == LinkWalk::RoundTrip::Step::Navigate) {
        m_web->navigate(step.url);
    } else if (step.kind == LinkWalk::RoundTrip::Step::Finish) {
        m_walkTimer.stop();
        m_web->navigate(step.url);
    }
}

QComboBox* BrowserWindow::addressBox() const {
    return m_address;
}

void BrowserWindow::goToAddressBox() {
    if (m_updatingAddress)
        return;
    startBusyIndicator();
    if (m_web->widget()->isHidden())
        return;
    // An address opens exactly as typed; anything else is a search.
    m_web->navigate(AddressInput::resolve(
        m_address->currentText(), m_host->preferences().SearchEngine, [](const QString& path) {
            return QFileInfo::exists(
                path.startsWith(QLatin1String("~/")) ? QDir::homePath() + path.mid(1) : path);
        }));
    m_address->update();
}

void BrowserWindow::openSuggestion(const Suggestions::Row& row) {
    using Kind = Suggestions::Kind;
    if (row.kind == Kind::Window) {
        m_host->windows().showWindow(row.windowId);
        return;
    }
    startBusyIndicator();
    if (row.kind == Kind::Search)
        m_web->navigate(AddressInput::searchAddress(m_host->preferences().SearchEngine, row.title));
    else
        m_web->navigate(row.url);
}

QString BrowserWindow::caption(const QString& text) const {
    return m_private ? text + QStringLiteral(" (Privat)") : text;
}

void BrowserWindow::clonePage() {
    OpenRequest request = OpenRequest::at(m_web->locationUrl());
    request.isPrivate = m_private;
    m_host->windows().openWindow(request);
}

void BrowserWindow::takeAsHomePage() {
    Prefer& prefs = m_host->preferences();
    prefs.HomeUrl = m_web->locationUrl();
    QString error;
    if (!prefs.save(&error))
        Dialogs::message(this, QMessageBox::Critical, QStringLiteral("Fehlermeldung"), error);
    if (QToolButton* home = m_toolBar->button(QStringLiteral("Home")))
        home->setToolTip(prefs.HomeUrl.trimmed());
}

void BrowserWindow::onButtonClicked(BrowserToolbar::Command command) {
    using C = BrowserToolbar::Command;
    // Every button but Stop and the drives refuses the next window a page
    // asks for.
    m_host->windows().popups().suppressNext(command != C::Stop && command != C::Drives);
    startBusyIndicator();
    const Prefer& prefs = m_host->preferences();
    switch (command) {
    case C::Back:
        m_web->goBack();
        break;
    case C::Forward:
        m_web->goForward();
        break;
    case C::Refresh:
        m_web->refresh();
        break;
    case C::Home:
        m_web->navigate(prefs.HomeUrl);
        break;
    case C::Search:
        m_web->navigate(AddressInput::searchHome(prefs.SearchEngine));
        break;
    case C::Clone:
        clonePage();
        break;
    case C::Mail:
        m_host->startMailProgram();
        break;
    case C::SendLink:
        // Subject and body are encoded, so an "&" in a title cannot cut the
        // address short.
        m_web->navigate(MailLink::linkUrl(m_web->locationName(), m_web->locationUrl())
                            .toString(QUrl::FullyEncoded));
        break;
    case C::Archive:
        m_host->showArchive();
        break;
    case C::Stop:
        m_busyShown = false;
        stopAnimation();
        m_refreshTimer.stop();
        m_walkTimer.stop();
        m_roundTrip.stop();
        m_refreshSeconds = 0;
        m_anim->setPixmap(browserPicture(1));
        if (m_web->isBusy()) {
            m_web->stop();
            setWindowTitle(caption(m_web->locationUrl()));
        }
        break;
    case C::Save:
        if (m_web->hasDocument())
            m_web->execCommand(WebView::SaveAs);
        break;
    case C::Print:
        if (m_web->hasDocument())
            m_web->execCommand(WebView::Print);
        break;
    default:
        break;
    }
}

void BrowserWindow::onMenuChosen(BrowserToolbar::Command command, const QString& drivePath) {
    using C = BrowserToolbar::Command;
    m_host->windows().popups().suppressNext(true);
    if (m_web->widget()->isHidden())
        return;
    switch (command) {
    case C::RefreshInterval:
        openRefreshDialog();
        break;
    case C::RoundTrip:
        startRoundTrip();
        break;
    case C::OpenAllLinks:
        m_host->windows().openAllLinks(m_web);
        break;
    case C::PrintPreview:
        if (m_web->hasDocument())
            m_web->execCommand(WebView::PrintPreview);
        break;
    case C::PrintFromMenu:
        if (m_web->hasDocument())
            m_web->execCommand(WebView::Print);
        break;
    case C::CloneWindow:
        clonePage();
        break;
    case C::NewWindow:
        m_host->windows().openWindow(OpenRequest());
        break;
    case C::CloseAllWindows:
        m_host->windows().closeAllWindows();
        break;
    case C::TakeAsHome:
        takeAsHomePage();
        break;
    case C::Drive:
        // Shows that drive's folder.
        if (!drivePath.isEmpty())
            m_web->navigate(QUrl::fromLocalFile(drivePath).toString());
        break;
    default:
        break;
    }
}

void BrowserWindow::onNewWindowRequested(WebView::NewWindowRequest* request) {
    using Placement = WebView::NewWindowRequest::Placement;
    BrowserWindows& windows = m_host->windows();
    BrowserWindow* window = windows.openPopupWindow(m_private);
    if (!window)
        return;
    window->layoutControls();
    const bool behind = request->placement == Placement::AsPolicySays
                            ? windows.popups().toBack()
                            : request->placement == Placement::Behind;
    if (behind) {
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

void BrowserWindow::onNavigateComplete(const QString& url) {
    emit layoutChanged();
    keepZoomOnSite();
    layoutControls();
    m_updatingAddress = true;
    const QString location = m_web->locationUrl();
    QStringList addresses;
    addresses.reserve(m_address->count() + 1);
    for (int i = 0; i < m_address->count(); ++i)
        addresses << m_address->itemText(i);
    BrowserRules::rememberAddress(addresses, location);
    m_address->clear();
    m_address->addItems(addresses);
    m_address->setCurrentIndex(0);
    // A private window leaves nothing in the history.
    if (!m_private)
        m_host->addToHistory(BrowserRules::historyAddress(url, location, m_web->locationName()),
                             m_title);
    m_updatingAddress = false;
    emit pageChanged();
    m_host->setModalLock(false);
}

void BrowserWindow::onGeometryRequested(int, int, int width, int height) {
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
    layoutControls();
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
    QMdiSubWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    stopAnimation();
    m_walkTimer.stop();
    m_refreshTimer.stop();
    leaveRegistry();
}
