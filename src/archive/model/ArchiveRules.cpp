#include "archive/model/ArchiveRules.h"

#include "common/RecordCodec.h"
#include "history/model/HistoryList.h"

#include <QSet>
#include <QUrl>

#include <limits>

namespace ArchiveRules {

namespace {

const QLatin1Char KeySeparator('@');

// True when c occurs anywhere but as the last character of s.
bool hasBefore(const QString& s, QChar c) {
    const qsizetype p = s.indexOf(c);
    return p >= 0 && p < s.size() - 1;
}

QString afterLast(const QString& s, QChar c) {
    return s.mid(s.lastIndexOf(c) + 1);
}

bool startsWithDriveLetter(const QString& path) {
    return path.size() >= 2 && path.at(0).isLetter() && path.at(0).unicode() < 0x80 &&
           path.at(1) == QLatin1Char(':');
}

} // namespace

QString folderKey(qint32 folderNr) {
    return QString::number(folderNr) + KeySeparator;
}

QString bookmarkKey(qint32 folderNr, qint16 bookmarkNr) {
    return folderKey(folderNr) + QString::number(bookmarkNr);
}

void splitKey(const QString& key, qint32& folderNr, qint16& bookmarkNr) {
    const qsizetype p = key.indexOf(KeySeparator);
    // toInt and toShort give 0 for anything that is not a number.
    folderNr = (p >= 0 ? key.left(p) : key).toInt();
    if (p < 0)
        return;
    const QString right = key.mid(p + 1);
    if (!right.isEmpty())
        bookmarkNr = right.toShort();
}

int folderIndex(const QList<std::shared_ptr<Thema>>& folders, qint32 nr) {
    for (qsizetype i = 0; i < folders.size(); ++i) {
        if (folders.at(i) && folders.at(i)->Nr == nr)
            return int(i + 1);
    }
    return 0;
}

int bookmarkIndex(const QList<Bookmark>& bookmarks, qint16 nr) {
    for (qsizetype i = 0; i < bookmarks.size(); ++i) {
        if (bookmarks.at(i).Nr == nr)
            return int(i + 1);
    }
    return 0;
}

std::optional<QString> newFolderName(const QStringList& nodeTexts) {
    const QString base = QStringLiteral("Neuer Ordner");
    const QSet<QString> taken(nodeTexts.cbegin(), nodeTexts.cend());
    if (!taken.contains(base))
        return base;
    for (int n = 1; n <= std::numeric_limits<qint16>::max(); ++n) {
        const QString candidate = QStringLiteral("%1 (%2)").arg(base).arg(n);
        if (!taken.contains(candidate))
            return candidate;
    }
    return std::nullopt;
}

QString titleOfAddress(const QString& address, const HistoryList& history) {
    QString title;
    bool known = false;
    for (const HistoryItem& item : history.items()) {
        if (item.Url == address) {
            title = item.Title;
            known = true;
            break;
        }
    }
    if (!known) {
        QString t = trimBlanks(address);
        if (t.endsWith(QLatin1Char('/')) || t.endsWith(QLatin1Char('\\')))
            t.chop(1);
        title = hasBefore(t, QLatin1Char('/')) ? afterLast(t, QLatin1Char('/')) : t;
    }
    // Windows paths, and titles that carry one, show only their last part.
    if (hasBefore(title, QLatin1Char('\\')))
        title = afterLast(title, QLatin1Char('\\'));
    return title;
}

std::optional<Dropped> droppedBookmark(const QString& text, const QString& firstFile,
                                       const HistoryList& history) {
    QString address = firstFile.isEmpty() ? text : firstFile;
    if (trimBlanks(address).isEmpty())
        return std::nullopt;
    const QString original = address;

    const QString filePrefix = QStringLiteral("file:///");
    if (address.startsWith(filePrefix, Qt::CaseInsensitive)) {
        const QString rest = address.mid(filePrefix.size());
        if (startsWithDriveLetter(rest)) {
            address = rest;
            address.replace(QLatin1Char('/'), QLatin1Char('\\'));
        } else {
            address = QUrl(address).toLocalFile();
        }
    }

    QString title = titleOfAddress(address, history);
    // A title that is only the end of the converted path is worth replacing
    // by what the history knows about the address as it was dropped; the
    // last part of that address would merely be the same name still
    // percent-encoded.
    if (!title.isEmpty() && address.endsWith(title)) {
        const QString known = history.titleOf(original);
        if (!known.isEmpty())
            title = titleOfAddress(original, history);
    }
    return Dropped{title, address};
}

} // namespace ArchiveRules
