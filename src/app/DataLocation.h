#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where Korvix keeps its files. A copy unpacked into a folder of the user's
// own keeps them beside the executable; an installed program cannot write
// there and keeps them in the user's data folder instead.
class DataLocation {
public:
    enum class Rule {
        // The program's folder is writable and no system folder.
        BesideProgram,
        // The program's folder is read-only to this user.
        ReadOnlyProgramFolder,
        // The program lies under /usr, /bin or /sbin; root could write
        // there, but an installed program's files do not belong there.
        SystemProgramFolder,
    };

    static DataLocation
    forProgram(const QString& programDir,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    static bool isSystemFolder(const QString& dir);
    // $XDG_DATA_HOME/korvix, or ~/.local/share/korvix when it is unset or
    // not absolute.
    static QString userDataFolder(const QProcessEnvironment& env);

    QString folder() const { return m_folder; }
    Rule rule() const { return m_rule; }
    // Why the files are where they are, in one German sentence.
    QString reason() const;
    // Makes the user's data folder on first start, readable by the user
    // only: cookies and mail passwords lie there.
    bool create(QString* error) const;

private:
    QString m_folder;
    Rule m_rule = Rule::BesideProgram;
};
