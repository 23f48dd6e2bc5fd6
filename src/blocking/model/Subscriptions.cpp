#include "blocking/model/Subscriptions.h"

#include <QRegularExpression>
#include <QSettings>
#include <QUrl>

namespace {
const QString Group = QStringLiteral("FilterLists");
} // namespace

QList<Subscription> Subscriptions::defaults() {
    const auto make = [](const char* title, const char* url, const char* file) {
        Subscription s;
        s.title = QString::fromUtf8(title);
        s.url = QString::fromUtf8(url);
        s.fileName = QString::fromUtf8(file);
        return s;
    };
    return {make("EasyList", "https://easylist.to/easylist/easylist.txt", "easylist.txt"),
            make("EasyList Germany", "https://easylist.to/easylistgermany/easylistgermany.txt",
                 "easylistgermany.txt"),
            make("EasyPrivacy", "https://easylist.to/easylist/easyprivacy.txt", "easyprivacy.txt")};
}

QList<Subscription> Subscriptions::load(const QString& iniPath) {
    QSettings ini(iniPath, QSettings::IniFormat);
    if (!ini.childGroups().contains(Group))
        return defaults();
    QList<Subscription> list;
    const int count = ini.beginReadArray(Group);
    for (int i = 0; i < count; ++i) {
        ini.setArrayIndex(i);
        Subscription s;
        s.title = ini.value(QStringLiteral("Title")).toString();
        s.url = ini.value(QStringLiteral("Url")).toString();
        s.fileName = ini.value(QStringLiteral("File")).toString();
        s.lastUpdate = ini.value(QStringLiteral("LastUpdate")).toDateTime();
        s.lastModified = ini.value(QStringLiteral("LastModified")).toString();
        s.lastError = ini.value(QStringLiteral("LastError")).toString();
        // A file name from elsewhere never leaves the list folder.
        if (s.url.isEmpty() || s.fileName.isEmpty() || s.fileName.contains(QLatin1Char('/')) ||
            s.fileName.startsWith(QLatin1Char('.')))
            continue;
        list << s;
    }
    ini.endArray();
    return list;
}

void Subscriptions::save(const QString& iniPath, const QList<Subscription>& list) {
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.remove(Group);
    ini.beginWriteArray(Group, int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        const Subscription& s = list.at(i);
        ini.setArrayIndex(i);
        ini.setValue(QStringLiteral("Title"), s.title);
        ini.setValue(QStringLiteral("Url"), s.url);
        ini.setValue(QStringLiteral("File"), s.fileName);
        ini.setValue(QStringLiteral("LastUpdate"), s.lastUpdate);
        ini.setValue(QStringLiteral("LastModified"), s.lastModified);
        ini.setValue(QStringLiteral("LastError"), s.lastError);
    }
    ini.endArray();
}

bool Subscriptions::isDue(const Subscription& s, const QDateTime& now) {
    if (!s.lastUpdate.isValid())
        return true;
    const qint64 age = s.lastUpdate.secsTo(now);
    return age < 0 || age >= RefreshSeconds;
}

QString Subscriptions::fileNameFor(const QString& url, const QStringList& taken) {
    QString base = QUrl(url).fileName().toLower();
    if (base.endsWith(QLatin1String(".txt")))
        base.chop(4);
    static const QRegularExpression unsafe(QStringLiteral("[^a-z0-9_-]+"));
    base.replace(unsafe, QStringLiteral("-"));
    if (base.isEmpty() || base == QLatin1String("-"))
        base = QStringLiteral("liste");
    QString name = base + QStringLiteral(".txt");
    for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n)
        name = QStringLiteral("%1-%2.txt").arg(base).arg(n);
    return name;
}

bool Subscriptions::looksLikeFilterList(const QByteArray& text) {
    if (text.contains('\0'))
        return false;
    const QByteArray head = text.left(1024).trimmed().toLower();
    if (head.startsWith("[adblock"))
        return true;
    if (head.isEmpty() || head.startsWith("<!doctype") || head.startsWith("<html"))
        return false;
    // Without a header: at least one line that is neither blank nor a
    // comment.
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray t = line.trimmed();
        if (!t.isEmpty() && !t.startsWith('!'))
            return true;
    }
    return false;
}
