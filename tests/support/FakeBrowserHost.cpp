#include "FakeBrowserHost.h"

#include "FakeWebView.h"
#include "browser/BrowserWindow.h"

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
    const QList<BrowserWindow*> all = openWindows;
    for (BrowserWindow* w : all)
        delete w;
}

WebView* FakeBrowserHost::createWebView(QWidget* parent, bool isPrivate) {
    auto* view = new FakeWebView(parent);
    view->isPrivate = isPrivate;
    return view;
}

BrowserWindow* FakeBrowserHost::create(const QString& address) {
    OpenRequest request = OpenRequest::at(address);
    request.address = request.startAddress(QString(), prefs.HomeUrl);
    auto* w = new BrowserWindow(this, request);
    popupPolicy.windowOpened();
    w->setId(++lastNumber);
    openWindows << w;
    QObject::connect(w, &BrowserWindow::statusTextChanged, &area,
                     [this](const QString& text) { statusTexts << text; });
    QObject::connect(w, &BrowserWindow::titleShown, &area, [this, w](const QString& title) {
        if (!title.isEmpty())
            tabTitles[w->id()] = title;
    });
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

BrowserWindow* FakeBrowserHost::openPopupWindow(bool) {
    if (!popupPolicy.admit() || !mayOpen)
        return nullptr;
    return create(QString());
}

void FakeBrowserHost::visit(const OpenRequest& request) {
    if (request.visitsSomething())
        openWindow(request);
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
