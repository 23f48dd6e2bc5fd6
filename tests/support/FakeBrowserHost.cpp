#include "FakeBrowserHost.h"

#include "FakeWebView.h"
#include "browser/BrowserWindow.h"

#include <QComboBox>

FakeBrowserHost::FakeBrowserHost() : prefs(folder.path()) {
    prefs.setDefaults();
    prefs.HomeUrl = QStringLiteral("http://home.example/");
    prefs.SearchEngine = QStringLiteral("http://search.example/");
    area.resize(1000, 700);
    area.show();
    // As in the frame: the window that comes to the front takes its tooltips.
    QObject::connect(&area, &QMdiArea::subWindowActivated, &area, [](QMdiSubWindow* w) {
        if (auto* browser = qobject_cast<BrowserWindow*>(w))
            browser->onActivated();
    });
}

FakeBrowserHost::~FakeBrowserHost() {
    const QList<BrowserWindow*> all = windows;
    for (BrowserWindow* w : all)
        delete w;
}

WebView* FakeBrowserHost::createWebView(QWidget* parent) {
    return new FakeWebView(parent);
}

BrowserWindow* FakeBrowserHost::create(const QString& address) {
    auto* w = new BrowserWindow(this);
    w->setStartingAddress(address.isEmpty() ? prefs.HomeUrl : address);
    w->load();
    w->addressBox()->setEditText(w->startingAddress());
    w->setId(++lastNumber);
    windows << w;
    area.addSubWindow(w);
    w->show();
    area.setActiveSubWindow(w);
    return w;
}

BrowserWindow* FakeBrowserHost::open(const QString& address) {
    BrowserWindow* w = create(address);
    w->navigate(QString());
    return w;
}

BrowserWindow* FakeBrowserHost::openPopupWindow() {
    return mayOpen ? create(QString()) : nullptr;
}

void FakeBrowserHost::openWindow(const OpenRequest& request) {
    opened << request;
    open(request.address);
}

void FakeBrowserHost::addToHistory(const QString& url, const QString& title) {
    visits << std::make_pair(url, title);
}

bool FakeBrowserHost::isWindowVisible(const BrowserWindow* window) const {
    QMdiSubWindow* active = area.activeSubWindow();
    return !window->isMinimized() && (!active || active == window || !active->isMaximized());
}

void FakeBrowserHost::setTabTitle(const QString& title, qint32 windowId) {
    if (!title.isEmpty() && windowId > 0)
        tabTitles[windowId] = title;
}
