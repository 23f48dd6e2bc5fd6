#pragma once

#include <QDialog>

class FrmBook;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Bookmark Eigenschaften": enters a new bookmark or edits the selected one.
class FrmBMProperty : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxName = 128;
    static constexpr int MaxUrl = 200;
    static constexpr int MaxInfo = 360;

    FrmBMProperty(FrmBook* book, bool bNewBkm);

    const bool bNewBkm;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPlainTextEdit* Text3 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;

    void Ok_Click();

private:
    FrmBook* m_book;
};
