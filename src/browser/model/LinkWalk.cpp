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

bool RoundTrip::start(const QStringList& links, const QString& locationUrl, double now) {
    colLinks = links;
    nLinkIndex = 1;
    if (colLinks.isEmpty()) {
        m_running = false;
        return false;
    }
    sStartUrl = locationUrl;
    sBaseUrl = roundTripBase(locationUrl, sBaseUrl);
    sngLastLinkTime = now;
    bNextLink = true;
    m_running = true;
    return true;
}

RoundTrip::Step RoundTrip::tick(double now) {
    Step step;
    if (!m_running)
        return step;
    if (nLinkIndex > 1 && qAbs(now - sngLastLinkTime) > GiveUpSeconds)
        bNextLink = true;
    if (nLinkIndex > colLinks.size()) {
        m_running = false;
        colLinks.clear();
        step.kind = Step::Finish;
        step.url = sStartUrl;
        return step;
    }
    if (bNextLink) {
        bNextLink = false;
        sngLastLinkTime = now;
        step.kind = Step::Navigate;
        step.url = absoluteLink(colLinks.at(nLinkIndex - 1), sBaseUrl);
        ++nLinkIndex;
    }
    return step;
}

} // namespace LinkWalk
