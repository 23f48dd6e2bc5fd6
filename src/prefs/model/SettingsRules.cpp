#include "prefs/model/SettingsRules.h"

#include "common/RecordCodec.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace SettingsRules {

qint16 historyRowsShown(qint16 stored) {
    return stored > 0 && stored % 10 == 0 ? stored : qint16(10);
}

qint16 checkIntervallShown(qint16 stored) {
    return qint16(qBound(MinCheckIntervall, int(stored), MaxCheckIntervall));
}

std::optional<qint16> wholeNumber(const QString& text, int lowest, int highest) {
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > highest)
            return std::nullopt;
    }
    if (value < lowest)
        return std::nullopt;
    return qint16(value);
}

std::optional<MissingField> firstMissingField(const std::array<Account, 4>& accounts) {
    for (int i = 0; i < int(accounts.size()); ++i) {
        const Account& a = accounts[i];
        if (!a.enabled)
            continue;
        if (trimBlanks(a.server).isEmpty())
            return MissingField{i + 1, AccountField::Server};
        if (trimBlanks(a.user).isEmpty())
            return MissingField{i + 1, AccountField::User};
        if (trimBlanks(a.password).isEmpty())
            return MissingField{i + 1, AccountField::Password};
    }
    return std::nullopt;
}

StartResult resolveStart(const StartChoice& choice, qint16 loadOption) {
    StartResult r;
    r.loadOption = loadOption;
    r.folder = choice.folder;
    r.layoutSelected = choice.layout;

    if (choice.browser)
        r.loadOption = 1;

    if (choice.folderChanged) {
        if (choice.folder && !choice.folderText.isEmpty()) {
            r.loadOption = 3;
            r.group = choice.folderText;
        } else {
            r.group = QString();
            r.folder = false;
        }
    } else if (choice.folder) {
        // The folder chosen earlier stays.
        r.loadOption = 3;
    }

    const QString layout = trimBlanks(choice.layoutText);
    if (choice.layout && !layout.isEmpty()) {
        r.loadOption = 2;
        r.layout = layout;
    } else {
        r.layoutSelected = false;
    }

    if (!r.layoutSelected && !choice.browser && !r.folder)
        r.loadOption = 0;
    return r;
}

QString folderKey(qint32 nr) {
    return QLatin1Char('[') + QString::number(nr) + QLatin1Char(']');
}

QList<Folder> sortedByName(QList<Folder> folders) {
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(folders.begin(), folders.end(), [&collator](const Folder& a, const Folder& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return folders;
}

} // namespace SettingsRules
