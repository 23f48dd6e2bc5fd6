#include "browser/model/LinkWalk.h"

#include <QtMath>

namespace LinkWalk {

QStringList selectLinks(const QStringList& raw) {
    QStringList links;
    for (const QString& link : raw) {
        if (link.isEmpty())
            continue;
        if (link.contains(QLatin1String("javascript:"), Qt::CaseInsensitive) ||
            link.contains(QLatin1String("mailto:"), Qt::CaseInsensitive))
            continue;
        links << link;
    }
    return links;
}

QString absoluteLink(const QString& link, const QString& base) {
    return link.contains(QLatin1Char(':')) ? link : base + link;
}

QString baseOf(const QString& address) {
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : address.left(slash + 1);
}

QString roundTripBase(const QString& address, const QString& previousBase) {
    // Position counted from 1, as a person reads it: "http://x/" has its last
    // slash at 9, "http://" at 7.
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    return slash + 1 > 8 ? address.left(slash + 1) : previousBase;
}

bool RoundTrip::start(const QStringList& pageLinks, const QString& locationUrl, double now) {
    links = pageLinks;
    nextIndex = 1;
    if (links.isEmpty()) {
        m_running = false;
        return false;
    }
    startUrl = locationUrl;
    baseUrl = roundTripBase(locationUrl, baseUrl);
    lastLinkTime = now;
    mayGoOn = true;
    m_running = true;
    return true;
}

RoundTrip::Step RoundTrip::tick(double now) {
    Step step;
    if (!m_running)
        return step;
    if (nextIndex > 1 && qAbs(now - lastLinkTime) > GiveUpSeconds)
        mayGoOn = true;
    if (nextIndex > links.size()) {
        m_running = false;
        links.clear();
        step.kind = Step::Finish;
        step.url = startUrl;
        return step;
    }
    if (mayGoOn) {
        mayGoOn = false;
        lastLinkTime = now;
        step.kind = Step::Navigate;
        step.url = absoluteLink(links.at(nextIndex - 1), baseUrl);
        ++nextIndex;
    }
    return step;
}

} // namespace LinkWalk
