#include "FakeWebView.h"

#include <QWidget>

FakeWebView::FakeWebView(QWidget* parent) : WebView(parent), m_widget(new QWidget(parent)) {
    all().append(this);
}

FakeWebView::~FakeWebView() {
    QThread::msleep(teardownCostMs);
    all().removeAll(this);
}

QList<FakeWebView*>& FakeWebView::all() {
    static QList<FakeWebView*> views;
    return views;
}

WebViewFactory FakeWebView::factory() {
    return [](QWidget* parent, bool isPrivate) -> WebView* {
        auto* view = new FakeWebView(parent);
        view->isPrivate = isPrivate;
        return view;
    };
}

void FakeWebView::navigate(const QString& address) {
    calls << QStringLiteral("navigate:") + address;
    if (navigations.isEmpty()) {
        firstNavigation = navigationsBegun++;
        shownAtFirstLoad = m_widget->isVisible();
        sizeAtFirstLoad = m_widget->size();
    }
    navigations << address;
    setBusy(true);
}

void FakeWebView::stop() {
    calls << QStringLiteral("stop");
    setBusy(false);
}

void FakeWebView::finishLoad(const QString& address, const QString& title) {
    url = address;
    docTitle = title;
    name = title.isEmpty() ? address : title;
    hasDoc = true;
    kind = DocumentKind::Html;
    setBusy(false);
    emit titleChanged(title);
    emit navigateComplete(address);
    emit settled();
}
