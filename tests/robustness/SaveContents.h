#pragma once

// Two full sets of everything Korvix saves, A and B, built the same way by
// the saving child (korvix_saveloop) and by the test that checks what a kill
// left on disk. They differ in every folder file, every record and every
// text field, so any mix of the two is visible.

#include "archive/model/Archive.h"
#include "frame/model/LayoutFile.h"
#include "prefs/model/Prefer.h"

#include <QList>
#include <QString>
#include <memory>

namespace SaveContents {

constexpr int Folders = 5;
constexpr int BookmarksPerFolder = 1000; // 5,000 in all

// How folder files are named. Fresh: each content has files of its own
// ("A1.bkm", "B1.bkm", ...), so a save writes new files and then the index
// naming them. InPlace: both use "1.bkm".."5.bkm", as the program numbers
// its folders, so a save overwrites the files the index already names.
enum class Names { Fresh, InPlace };

inline QChar letter(bool b) {
    return b ? QLatin1Char('B') : QLatin1Char('A');
}

inline QString folderFile(bool b, Names names, int folder) {
    return names == Names::Fresh ? QStringLiteral("%1%2.bkm").arg(letter(b)).arg(folder)
                                 : QStringLiteral("%1.bkm").arg(folder);
}

inline QList<std::shared_ptr<Thema>> archive(bool b, Names names) {
    QList<std::shared_ptr<Thema>> folders;
    for (int f = 1; f <= Folders; ++f) {
        auto t = std::make_shared<Thema>();
        t->Nr = f;
        t->Sequenz = f;
        t->FileName = folderFile(b, names, f);
        t->setDirName(QStringLiteral("Ordner %1 Stand %2").arg(f).arg(letter(b)));
        QList<Bookmark> list;
        list.reserve(BookmarksPerFolder);
        for (int i = 1; i <= BookmarksPerFolder; ++i) {
            Bookmark m;
            m.Nr = qint16(i);
            m.Titel =
                QStringLiteral("Stand %1 Ordner %2 Seite %3 – Grüße").arg(letter(b)).arg(f).arg(i);
            m.Url = QStringLiteral("https://%1.example.org/ordner/%2/seite/%3")
                        .arg(letter(b).toLower())
                        .arg(f)
                        .arg(i);
            m.Info = QStringLiteral("Beschreibung %1-%2-%3").arg(letter(b)).arg(f).arg(i);
            m.Adresszeile = (i % 2 == 0) != b;
            m.Toolbar = (i % 3 == 0) == b;
            list.append(m);
        }
        t->bookmarks = list;
        t->counter = qint16(BookmarksPerFolder);
        t->changed = true;
        folders.append(t);
    }
    return folders;
}

inline void fillPrefer(Prefer& p, bool b) {
    const QString l = letter(b);
    p.setDefaults();
    p.HomeUrl = QStringLiteral("https://%1.example.org/start").arg(l.toLower());
    p.SearchEngine = QStringLiteral("https://suche.example.org/?stand=%1").arg(l);
    p.MailClient = QStringLiteral("mailprogramm-%1").arg(l);
    p.Group = QStringLiteral("Gruppe %1").arg(l);
    p.GroupFile = QStringLiteral("/home/anna/Korvix/Gruppe-%1.wlt").arg(l);
    p.Layout = QStringLiteral("/home/anna/Korvix/Layout-%1.wlt").arg(l);
    for (int i = 1; i <= Prefer::MailAccounts; ++i) {
        p.MailSrv(i) = QStringLiteral("pop%1.%2.example.org").arg(i).arg(l.toLower());
        p.User(i) = QStringLiteral("nutzer%1%2").arg(i).arg(l);
        p.Pwd(i) = QStringLiteral("geheim%1%2").arg(i).arg(l);
        p.EnableMailCheck(i) = b ? -1 : 0;
    }
    p.StatusBar = b ? 0 : 1;
    p.TabStrip = b ? -1 : 0;
    p.MdiWidth = b ? 12000 : 9000;
    p.MdiHeight = b ? 8000 : 6000;
    p.HistoryRows = b ? 80 : 20;
    p.CheckIntervall = b ? 15 : 3;
    p.TabAlign = b ? 2 : 0;
}

inline QList<LayoutItem> layout(bool b) {
    QList<LayoutItem> items;
    const int count = b ? 300 : 240;
    for (int i = 0; i < count; ++i) {
        LayoutItem item;
        item.left = i * 15 + (b ? 7 : 0);
        item.top = i * 30;
        item.width = b ? 4800 : 6000;
        item.height = b ? 3600 : 4500;
        item.url =
            QStringLiteral("https://%1.example.org/fenster/%2").arg(letter(b).toLower()).arg(i);
        item.toolbar = (i % 2 == 0) == b;
        item.adress = b;
        item.state = qint16((i + (b ? 1 : 0)) % 3);
        items.append(item);
    }
    return items;
}

} // namespace SaveContents
