#pragma once

// Rules of the settings dialog that need no window: what the number lists
// show and accept, which account field is missing, what the start options
// store, and the order of the folder list.

#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace SettingsRules {

// The poller multiplies the interval by 60 in 16 bits; 546 minutes is the
// most that fits.
constexpr int MinCheckIntervall = 1;
constexpr int MaxCheckIntervall = 546;
constexpr int MinHistoryRows = 1;
constexpr int MaxHistoryRows = 32767;

// The history list shows a stored value only when it is a positive multiple
// of 10; anything else shows as 10.
qint16 historyRowsShown(qint16 stored);
// The interval list shows the stored value limited to what it accepts.
qint16 checkIntervallShown(qint16 stored);

// The value of a number field: digits only (no sign, no blanks, no group
// separators) and within lowest..highest; nothing otherwise.
std::optional<qint16> wholeNumber(const QString& text, int lowest, int highest);

struct Account {
    bool enabled = false;
    QString server;
    QString user;
    QString password;
};
enum class AccountField { Server, User, Password };
struct MissingField {
    int account; // 1..4
    AccountField field;
};
// The first field of an enabled account that is empty after trimming
// blanks: accounts in order, and server, user, password within each.
std::optional<MissingField> firstMissingField(const std::array<Account, 4>& accounts);

// What page 2 shows when "OK" is pressed.
struct StartChoice {
    bool browser = false;       // "Browser-Fenster öffnen."
    bool folder = false;        // "Bookmarkordner öffnen"
    QString folderText;         // text of the folder list
    bool folderChanged = false; // the user picked a folder in this session
    bool layout = false;        // "Fensterlayout-Datei öffnen"
    QString layoutText;
};
struct StartResult {
    qint16 loadOption = 0;
    std::optional<QString> group; // nothing: Group keeps its value
    QString layout;
    bool folder = false; // the boxes as they stand afterwards
    bool layoutSelected = false;
};
// A layout file wins over the folder, and the folder over the plain browser
// window; an option that names nothing is switched off.
StartResult resolveStart(const StartChoice& choice, qint16 loadOption);

struct Folder {
    qint32 nr = 0;
    QString name;
    QString fileName;
};
// Key of a folder in the list and in the folder file table: "[nr]".
QString folderKey(qint32 nr);
// Alphabetical, ignoring case and with umlauts beside their base letters;
// folders of the same name keep their archive order.
QList<Folder> sortedByName(QList<Folder> folders);

} // namespace SettingsRules
