// The content-blocking filters with EasyList and EasyPrivacy as Debian ships
// them: how long reading and indexing takes, how much memory it holds, and
// how long one decision takes over many request addresses, blocked and
// allowed mixed.
#include "blocking/model/Filters.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

using namespace Blocking;

namespace {

const char* const ListFolder = "/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/"
                               "easylist/";

long residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

// The hosts of the list's own "||host^" filters.
QStringList anchoredHosts(const QByteArray& list) {
    QStringList hosts;
    for (const QByteArray& raw : list.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("||"))
            continue;
        const qsizetype caret = line.indexOf('^');
        if (caret < 3)
            continue;
        const QByteArray host = line.mid(2, caret - 2);
        if (host.contains('*') || host.contains('/'))
            continue;
        hosts.append(QString::fromUtf8(host).toLower());
    }
    return hosts;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QByteArray lists[2];
    const char* names[2] = {"easylist.txt", "easyprivacy.txt"};
    for (int i = 0; i < 2; ++i) {
        QFile file(QString::fromLatin1(ListFolder) + QLatin1String(names[i]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("%s not installed (webext-ublock-origin-chromium); nothing measured\n",
                        names[i]);
            return 0;
        }
        lists[i] = file.readAll();
    }

    const long rssBefore = residentKiB();
    const auto t0 = std::chrono::steady_clock::now();
    FilterSet set;
    ListStats stats[2];
    for (int i = 0; i < 2; ++i)
        stats[i] = set.addList(lists[i]);
    set.finish();
    const auto t1 = std::chrono::steady_clock::now();
    const long rssAfter = residentKiB();
    for (int i = 0; i < 2; ++i)
        std::printf("%-16s %6d rules, %5d lines skipped\n", names[i], stats[i].rules,
                    stats[i].skipped);
    std::printf("read and index:  %.1f ms\n",
                std::chrono::duration<double, std::milli>(t1 - t0).count());
    std::printf("rules:           %d\n", set.ruleCount());
    std::printf("memory estimate: %.1f MB\n", double(set.memoryBytes()) / 1e6);
    std::printf("RSS growth:      %.1f MB\n", double(rssAfter - rssBefore) / 1024.0);

    // Requests: hosts the lists name, with paths and types of all kinds, and
    // ordinary first- and third-party addresses no list should stop.
    QStringList hosts = anchoredHosts(lists[0]) + anchoredHosts(lists[1]);
    QRandomGenerator random(4711);
    const QStringList pages = {QStringLiteral("www.example-shop.de"),
                               QStringLiteral("news.example.co.uk"),
                               QStringLiteral("blog.example.org"), QString()};
    const ResourceType types[] = {ResourceType::Script,      ResourceType::Image,
                                  ResourceType::Stylesheet,  ResourceType::XmlHttpRequest,
                                  ResourceType::Subdocument, ResourceType::Font,
                                  ResourceType::Media,       ResourceType::Other};
    const char* const paths[] = {"/path.js?v=%1",      "/ads/banner%1.gif",
                                 "/pixel?id=%1&ref=x", "/static/css/site-%1.css",
                                 "/api/v2/items/%1",   "/index%1.html"};
    QList<Request> requests;
    constexpr int Count = 150000;
    requests.reserve(Count);
    for (int i = 0; i < Count; ++i) {
        Request r;
        r.pageHost = pages[random.bounded(pages.size())];
        r.type = types[random.bounded(int(std::size(types)))];
        if (i % 2 == 0 && !hosts.isEmpty()) {
            r.host = hosts[random.bounded(hosts.size())];
            r.url = QStringLiteral("https://") + r.host +
                    QString::fromLatin1(paths[random.bounded(int(std::size(paths)))]).arg(i);
        } else {
            const QString page = r.pageHost.isEmpty() ? pages[0] : r.pageHost;
            r.host = i % 4 == 1 ? page : QStringLiteral("img%1.cdn-example.net").arg(i % 7);
            r.url = QStringLiteral("https://%1/images/p%2.jpg?size=%3")
                        .arg(r.host)
                        .arg(i)
                        .arg(random.bounded(800));
        }
        requests.append(r);
    }

    QList<double> micros;
    micros.reserve(Count);
    int blocked = 0;
    for (const Request& r : std::as_const(requests)) {
        const auto a = std::chrono::steady_clock::now();
        const Verdict v = set.decide(r);
        const auto b = std::chrono::steady_clock::now();
        micros.append(std::chrono::duration<double, std::micro>(b - a).count());
        blocked += v == Verdict::Block;
    }
    std::sort(micros.begin(), micros.end());
    std::printf("decide():        %d requests, median %.2f us, p99 %.2f us, max %.1f us\n", Count,
                micros[Count / 2], micros[Count * 99 / 100], micros.last());
    std::printf("blocked:         %.1f %%\n", 100.0 * blocked / Count);

    const auto s0 = std::chrono::steady_clock::now();
    const QString sheet = set.hidingStyleSheet(QStringLiteral("https://www.example-shop.de/"),
                                               QStringLiteral("www.example-shop.de"));
    const auto s1 = std::chrono::steady_clock::now();
    std::printf("hiding sheet:    %lld characters in %.2f ms\n", qlonglong(sheet.size()),
                std::chrono::duration<double, std::milli>(s1 - s0).count());
    return 0;
}
