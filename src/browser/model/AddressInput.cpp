#include "browser/model/AddressInput.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace {

// Schemes that are addresses even without "//" after them.
bool knownScheme(const QString& scheme) {
    static const QStringList schemes = {
        QStringLiteral("http"),   QStringLiteral("https"),       QStringLiteral("file"),
        QStringLiteral("ftp"),    QStringLiteral("about"),       QStringLiteral("data"),
        QStringLiteral("mailto"), QStringLiteral("view-source"), QStringLiteral("qrc"),
        QStringLiteral("blob"),   QStringLiteral("chrome"),      QStringLiteral("devtools")};
    return schemes.contains(scheme.toLower());
}

bool hasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(.*)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = scheme.match(text);
    if (!m.hasMatch())
        return false;
    return knownScheme(m.captured(1)) || m.captured(2).startsWith(QLatin1String("//"));
}

// A host with an optional port, then nothing or a path, query or fragment.
bool isHostAddress(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\[[0-9A-Fa-f:.]+\\]|[^\\s/?#:\\[\\]]+)(:\\d{1,5})?([/?#]\\S*)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const QString host = m.captured(1);
    if (host.startsWith(QLatin1Char('[')))
        return true;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    static const QRegularExpression ipv4(
        QStringLiteral("^(25[0-5]|2[0-4]\\d|1?\\d?\\d)(\\.(25[0-5]|2[0-4]\\d|1?\\d?\\d)){3}$"));
    if (ipv4.match(host).hasMatch())
        return true;
    // A name with a dot: labels of letters (any script), digits and hyphens,
    // the last one not made of digits alone ("3.14" is a search).
    const QStringList labels = host.split(QLatin1Char('.'));
    if (labels.size() < 2)
        return false;
    for (const QString& label : labels) {
        if (label.isEmpty() || label.startsWith(QLatin1Char('-')) ||
            label.endsWith(QLatin1Char('-')))
            return false;
        for (const QChar c : label)
            if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
                return false;
    }
    const QString& last = labels.last();
    return std::any_of(last.begin(), last.end(), [](QChar c) { return c.isLetter(); });
}

// The query form of the engines a German user picks, by their home page.
QString knownQueryForm(const QUrl& home) {
    const QString host = home.host().toLower();
    const QString scheme = home.scheme().isEmpty() ? QStringLiteral("https") : home.scheme();
    const QString base = scheme + QStringLiteral("://") + host;
    const auto is = [&host](const char* name) {
        const QString n = QLatin1String(name);
        return host == n || host.endsWith(QLatin1Char('.') + n);
    };
    if (is("duckduckgo.com"))
        return base + QStringLiteral("/?q=%s");
    if (host.startsWith(QLatin1String("google.")) || host.contains(QLatin1String(".google.")))
        return base + QStringLiteral("/search?q=%s");
    if (is("bing.com"))
        return base + QStringLiteral("/search?q=%s");
    if (is("ecosia.org"))
        return base + QStringLiteral("/search?q=%s");
    if (is("startpage.com"))
        return base + QStringLiteral("/do/search?query=%s");
    if (is("qwant.com"))
        return base + QStringLiteral("/?q=%s");
    return QString();
}

} // namespace

bool AddressInput::isAddress(const QString& typed,
                             const std::function<bool(const QString&)>& pathExists) {
    const QString text = typed.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('?')))
        return false;
    if (hasScheme(text))
        return true;
    if ((text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1String("~/"))) && pathExists &&
        pathExists(text))
        return true;
    return isHostAddress(text);
}

QString AddressInput::searchAddress(const QString& engine, const QString& query) {
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(query));
    QString form = engine.trimmed();
    if (!form.contains(QLatin1String("%s"))) {
        const QUrl home = QUrl::fromUserInput(form);
        const QString known = knownQueryForm(home);
        if (!known.isEmpty()) {
            form = known;
        } else {
            // The home page with the query added to whatever it asks already.
            const qsizetype fragment = form.indexOf(QLatin1Char('#'));
            QString page = fragment < 0 ? form : form.left(fragment);
            if (!page.contains(QLatin1String("://")) && !page.isEmpty())
                page = home.toString();
            form = page + (page.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
                   QStringLiteral("q=%s");
        }
    }
    return form.replace(QLatin1String("%s"), encoded);
}

QString AddressInput::searchHome(const QString& engine) {
    const QString trimmed = engine.trimmed();
    if (!trimmed.contains(QLatin1String("%s")))
        return trimmed;
    QString home = trimmed.left(
        trimmed.indexOf(QLatin1Char('?')) < 0 ? trimmed.size() : trimmed.indexOf(QLatin1Char('?')));
    return home.remove(QLatin1String("%s"));
}

QString AddressInput::resolve(const QString& typed, const QString& engine,
                              const std::function<bool(const QString&)>& pathExists) {
    if (typed.trimmed().isEmpty() || isAddress(typed, pathExists))
        return typed;
    QString query = typed.trimmed();
    if (query.startsWith(QLatin1Char('?')))
        query = query.mid(1).trimmed();
    return searchAddress(engine, query);
}
