#pragma once

#include "prefs/model/SettingsRules.h"

#include <QDialog>
#include <QHash>
#include <array>
#include <optional>

class Prefer;
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
class FrmEinstell : public QDialog {
    Q_OBJECT
public:
    FrmEinstell(Prefer& prefs, const QString& appDir, QWidget* parent = nullptr);

    // True once "OK" has stored and saved the preferences.
    bool saved() const { return m_saved; }

    // True when every enabled account has a server, a user name and a
    // password; otherwise the first empty field gets the focus and the
    // message is shown.
    bool ValidateForm();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildGeneralPage(QWidget* page);
    void buildStartPage(QWidget* page);
    void buildMailPage(QWidget* page);
    void showPage(int index);
    void fillControls();

    void LoadColGrpFileName();
    void FillCombo();
    void CheckActivate();
    void showFolder(const QString& group, const QString& groupFile);

    void Check2_Click();
    void Check6_Click();
    void Option3_Click();
    void folderChanged(int index);
    void CheckM_Click(int account);
    void Command2_Click();
    void LayoutSearch_Click();

    void Save_Click();
    void Standard_Click();

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

    QTabWidget* TabStrip2 = nullptr;
    std::array<QWidget*, 3> Frame1{};

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command2 = nullptr;
    QComboBox* Combo1 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    QCheckBox* Check7 = nullptr;

    QCheckBox* Check2 = nullptr;
    QCheckBox* Check6 = nullptr;
    QComboBox* ImageCombo1 = nullptr;
    QRadioButton* Option3 = nullptr;
    QLineEdit* Text16 = nullptr;
    QPushButton* LayoutSearch_Btn = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check5 = nullptr;

    std::array<QCheckBox*, 4> CheckM{};
    std::array<QLineEdit*, 4> TextSrv{};
    std::array<QLineEdit*, 4> TextUsr{};
    std::array<QLineEdit*, 4> TextPwd{};
    QComboBox* Combo2 = nullptr;

    QPushButton* Save = nullptr;
    QPushButton* Quit = nullptr;
    QPushButton* Standard = nullptr;
};
