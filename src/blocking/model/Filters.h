#pragma once

// Content blocking: the Adblock Plus / EasyList filter language. A FilterSet
// reads lists once, builds its indexes, and then answers for every request
// the page makes whether it may load, and which elements to hide.

#include <QByteArray>
#include <QString>
#include <memory>

namespace Blocking {

enum class ResourceType : quint16 {
    Document = 1 << 0,
    Subdocument = 1 << 1,
    Stylesheet = 1 << 2,
    Script = 1 << 3,
    Image = 1 << 4,
    Font = 1 << 5,
    Media = 1 << 6,
    XmlHttpRequest = 1 << 7,
    WebSocket = 1 << 8,
    Ping = 1 << 9,
    Other = 1 << 10,
};

struct Request {
    QString url;      // the full request address as QUrl::toString() gives it
    QString host;     // the request's host, lower case
    QString pageHost; // the host of the page (first party) that made it, lower case; empty = none
    ResourceType type = ResourceType::Other;
};

enum class Verdict { Allow, Block };

// Rules read, and lines that could not be parsed. Comments, headers and blank
// lines are neither.
struct ListStats {
    int rules = 0;
    int skipped = 0;
};

// Immutable after finish(); thread-safe to query from any thread.
class FilterSet {
public:
    FilterSet();
    ~FilterSet();
    FilterSet(const FilterSet&) = delete;
    FilterSet& operator=(const FilterSet&) = delete;

    // Adds the lines of one list (UTF-8 text). Call before finish().
    ListStats addList(const QByteArray& text);
    // Builds the indexes. After this only the const queries are used.
    void finish();

    Verdict decide(const Request& request) const;
    // True when an @@...$document exception covers this page address: nothing
    // on it is blocked.
    bool pageAllowed(const QString& pageUrl, const QString& pageHost) const;
    // The style sheet that hides elements on a page of this host: generic
    // rules plus the host's (and its parent domains') specific rules, minus
    // #@# exceptions; empty when an @@...$elemhide exception covers pageUrl.
    // Selectors grouped, each group ending in "{display:none!important}".
    // Large; the UI builds it once per page.
    QString hidingStyleSheet(const QString& pageUrl, const QString& pageHost) const;
    int ruleCount() const;
    size_t memoryBytes() const; // estimate, for the benchmark

private:
    struct Data;
    std::unique_ptr<Data> d;
};

// Registrable domain through the Public Suffix List (libpsl, psl_builtin());
// the host itself when it is an IP address or has no registrable part.
QString registrableDomain(const QString& host);
// False when pageHost is empty.
bool isThirdParty(const QString& host, const QString& pageHost);

} // namespace Blocking
