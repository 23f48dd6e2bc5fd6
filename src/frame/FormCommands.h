#pragma once

#include <QObject>
#include <QString>

class FrameActions;
class Passwords;
class QWidget;

// The items in "&Tools" for what one enters into pages: "Gespeicherte
// Passwörter..." and "Rechtschreibprüfung" (on or off, German and English),
// the latter for every window and kept in Korvix.ini.
class FormCommands : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* frame;
        FrameActions* actions;
        // Absent where no engine runs (tests with fake pages).
        Passwords* passwords;
        QString programFolder;
    };
    explicit FormCommands(Parts parts, QObject* parent = nullptr);

private:
    // Takes the menu's state into the settings and every page.
    void applySpelling();
    void showSavedPasswords();

    Parts m_parts;
};
