#pragma once

#include <QString>
#include <QStringList>

// Choosing a page's links and walking them one after another.
namespace LinkWalk {

// Keeps the links worth visiting, in document order: script and mail links
// (in any letter case) and empty ones are dropped, duplicates stay.
QStringList selectLinks(const QStringList& raw);

// A link with a colon anywhere is absolute; any other gets the base put in
// front of it.
QString absoluteLink(const QString& link, const QString& base);

// The address up to and including its last "/"; empty when it has none.
QString baseOf(const QString& address);

// The round trip's base: the page's own base when its last "/" stands after
// the 8th character, else the previous base.
QString roundTripBase(const QString& address, const QString& previousBase);

// The link round trip of one window. The window's timer calls tick(); the
// page-state poll calls pageLoaded() when a page has finished.
class RoundTrip {
public:
    struct Step {
        enum Kind { Wait, Navigate, Finish } kind = Wait;
        QString url;
    };

    // Starts on the given links of the page at locationUrl; false when there
    // is nothing to visit. Times are seconds on a monotonic clock.
    bool start(const QStringList& pageLinks, const QString& locationUrl, double now);
    Step tick(double now);
    void pageLoaded() { mayGoOn = true; }
    void stop() { m_running = false; }
    bool isRunning() const { return m_running; }

    // How long a page may take before the walk goes on without it.
    static constexpr double GiveUpSeconds = 30.0;

    QStringList links;
    int nextIndex = 1;
    bool mayGoOn = false;
    double lastLinkTime = 0;
    QString startUrl;
    QString baseUrl;

private:
    bool m_running = false;
};

} // namespace LinkWalk
