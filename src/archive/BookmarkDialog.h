#pragma once

#include <QDialog>

class ArchiveWindow;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Bookmark Eigenschaften": enters a new bookmark or edits the selected one
// of the archive window.
class BookmarkDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxName = 128;
    static constexpr int MaxUrl = 200;
    static constexpr int MaxInfo = 360;

    BookmarkDialog(ArchiveWindow* archive, bool newBookmark);

    QLineEdit* nameField() const { return m_name; }
    QLineEdit* urlField() const { return m_url; }
    QPlainTextEdit* infoField() const { return m_info; }
    QCheckBox* addressBarBox() const { return m_addressBar; }
    QCheckBox* toolbarBox() const { return m_toolbar; }
    QPushButton* okButton() const { return m_ok; }

private:
    // "Ok": checks the fields and hands them to the archive window.
    void takeInput();

    ArchiveWindow* m_archive;
    const bool m_newBookmark;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_url = nullptr;
    QPlainTextEdit* m_info = nullptr;
    QCheckBox* m_addressBar = nullptr;
    QCheckBox* m_toolbar = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
