#include "browser/model/BrowserRules.h"

namespace BrowserRules {

QString trimQuotes(const QString& s) {
    if (s.isEmpty() || !s.startsWith(QLatin1Char('"')) || !s.endsWith(QLatin1Char('"')))
        return s;
    if (s.size() < 2)
        return QString();
    return s.mid(1, s.size() - 2);
}

void rememberAddress(QStringList& list, const QString& address) {
    const qsizetype at = list.indexOf(address);
    if (at >= 0)
        list.removeAt(at);
    list.prepend(address);
}

QString historyAddress(const QString& navigatedUrl, const QString& locationUrl,
                       const QString& locationName) {
    return navigatedUrl.endsWith(locationName) ? locationUrl : navigatedUrl;
}

int nextAnimFrame(int frame, int frames) {
    return frame * (frame < frames ? 1 : 0) + 1;
}

QString pollTitle(DocKind kind, const QString& documentTitle, const QString& locationName,
                  const QString& folderPath, const QString& locationUrl) {
    QString title;
    if (kind == DocKind::Html) {
        title = documentTitle;
        if (title.trimmed().isEmpty())
            title = locationName;
    } else if (kind == DocKind::Folder) {
        title = folderPath;
        if (title.isEmpty())
            title = documentTitle;
    }
    if (title.isEmpty())
        title = locationUrl;
    return title;
}

int windowWidthFor(int windowWidth, int clientWidth, int requested) {
    return windowWidth - clientWidth + requested;
}

int windowHeightFor(int windowHeight, int clientHeight, int requested, int barHeight,
                    bool barVisible) {
    return windowHeight - clientHeight + requested + (barVisible ? barHeight : 0);
}

} // namespace BrowserRules
