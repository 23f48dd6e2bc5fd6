#pragma once

#include "prefs/model/SettingsRules.h"

#include <QDialog>
#include <QHash>
#include <array>
#include <optional>

class Prefer;
class Shell;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// "Korvix Einstellungen": the preferences on three pages. "OK" checks the
// mail accounts and the number fields, stores every shown value and saves the
// file; "Abbruch" leaves the preferences as they were.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Edits the shell's preferences; the archive's folders come from its
    // program folder.
    explicit SettingsDialog(Shell& shell, QWidget* parent = nullptr);

    // True once "OK" has stored and saved the preferences.
    bool saved() const { return m_saved; }

    // True when every enabled account has a server, a user name and a
    // password; otherwise the first empty field gets the focus and the
    // message is shown.
    bool validateAccounts();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildGeneralPage(QWidget* page);
    void buildStartPage(QWidget* page);
    void buildMailPage(QWidget* page);
    static void showNumber(QComboBox* combo, int value);
    void showPage(int index);
    void fillControls();

    void readFolders();
    void fillFolderList();
    void enableAccountFields();
    void showFolder(const QString& group, const QString& groupFile);

    void onStartBrowserClicked();
    void onStartFolderClicked();
    void onStartLayoutClicked();
    void folderChanged(int index);
    void onAccountClicked(int account);
    void chooseMailClient();
    void chooseLayoutFile();

    void saveAndClose();
    void resetToDefaults();

    bool numbersValid(std::optional<qint16>* historyRows, std::optional<qint16>* interval);
    void complain(QWidget* field, const QString& text);

    Prefer& m_prefs;
    QString m_appDir;
    bool m_saved = false;

    // Folder file table: "[nr]" -> the folder's bookmark file.
    QHash<QString, QString> m_groupFiles;
    QList<SettingsRules::Folder> m_folders;
    QString m_archiveError;
    bool m_folderChanged = false;
    QString m_openingFolder;
    // The file of the folder last picked; stored as GroupFile on "OK".
    std::optional<QString> m_pickedGroupFile;
    bool m_filling = false;

    QTabWidget* m_pages = nullptr;
    std::array<QWidget*, 3> m_page{};

    QLineEdit* m_homeUrl = nullptr;
    QLineEdit* m_searchEngine = nullptr;
    QLineEdit* m_mailClient = nullptr;
    QPushButton* m_chooseMailClient = nullptr;
    QComboBox* m_historyRows = nullptr;
    QCheckBox* m_addressBar = nullptr;
    QCheckBox* m_toolbar = nullptr;
    QRadioButton* m_tabsAsTabs = nullptr;
    QRadioButton* m_tabsAsButtons = nullptr;
    QRadioButton* m_tabsTop = nullptr;
    QRadioButton* m_tabsBottom = nullptr;
    QCheckBox* m_tabsBold = nullptr;

    QCheckBox* m_startBrowser = nullptr;
    QCheckBox* m_startFolder = nullptr;
    QComboBox* m_folderList = nullptr;
    QRadioButton* m_startLayout = nullptr;
    QLineEdit* m_layoutFile = nullptr;
    QPushButton* m_chooseLayout = nullptr;
    QCheckBox* m_statusBar = nullptr;
    QCheckBox* m_tabBar = nullptr;

    std::array<QCheckBox*, 4> m_accountOn{};
    std::array<QLineEdit*, 4> m_server{};
    std::array<QLineEdit*, 4> m_user{};
    std::array<QLineEdit*, 4> m_password{};
    QComboBox* m_checkInterval = nullptr;

    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_standard = nullptr;
};
