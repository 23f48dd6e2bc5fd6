#include "blocking/PageBlocker.h"

#include "blocking/ContentBlocker.h"
#include "blocking/model/Filters.h"

namespace {
Blocking::ResourceType filterType(QWebEngineUrlRequestInfo::ResourceType type) {
    using Info = QWebEngineUrlRequestInfo;
    using T = Blocking::ResourceType;
    switch (type) {
    case Info::ResourceTypeMainFrame:
    case Info::ResourceTypeNavigationPreloadMainFrame:
        return T::Document;
    case Info::ResourceTypeSubFrame:
    case Info::ResourceTypeNavigationPreloadSubFrame:
        return T::Subdocument;
    case Info::ResourceTypeStylesheet:
        return T::Stylesheet;
    case Info::ResourceTypeScript:
    case Info::ResourceTypeWorker:
    case Info::ResourceTypeSharedWorker:
    case Info::ResourceTypeServiceWorker:
        return T::Script;
    case Info::ResourceTypeImage:
    case Info::ResourceTypeFavicon:
        return T::Image;
    case Info::ResourceTypeFontResource:
        return T::Font;
    case Info::ResourceTypeMedia:
        return T::Media;
    case Info::ResourceTypeXhr:
        return T::XmlHttpRequest;
    case Info::ResourceTypePing:
    case Info::ResourceTypeCspReport:
        return T::Ping;
    case Info::ResourceTypeWebSocket:
        return T::WebSocket;
    default:
        return T::Other;
    }
}
} // namespace

PageBlocker::PageBlocker(ContentBlocker* blocker, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), m_blocker(blocker) {}

void PageBlocker::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const auto type = info.resourceType();
    if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame) {
        // A new page counts from nothing.
        if (m_blocked != 0) {
            m_blocked = 0;
            emit blockedCountChanged(0);
        }
        return;
    }
    if (!m_blocker || !m_blocker->blocks(info.requestUrl(), info.firstPartyUrl(), filterType(type)))
        return;
    info.block(true);
    emit blockedCountChanged(++m_blocked);
}
