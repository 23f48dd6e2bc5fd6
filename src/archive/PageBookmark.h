#pragma once

#include <QDialog>

class ArchiveWindow;
class QComboBox;
class QLineEdit;
class Shell;

// Ctrl+D: the page in the active window as a bookmark. A small dialog asks
// for the title and the folder; Enter stores it in the archive at once
// through the archive's one writer, whether or not the archive window is
// open.
class PageBookmarkDialog : public QDialog {
    Q_OBJECT
public:
    struct Folder {
        QString name;
        // Names the folder for good (folder numbers change with sorting).
        QString fileName;
    };

    PageBookmarkDialog(const QString& title, const QList<Folder>& folders,
                       const QString& chosenFolder, QWidget* parent);

    QLineEdit* titleField() const { return m_title; }
    QComboBox* folderList() const { return m_folders; }
    QString title() const;
    QString folderFile() const;

private:
    QLineEdit* m_title;
    QComboBox* m_folders;
};

namespace PageBookmark {

// Asks and stores; false when nothing was stored (cancelled, or a failure
// the user was told about). `archive` is the open archive window, if any.
bool add(Shell& shell, ArchiveWindow* archive, const QString& title, const QString& url,
         QWidget* parent);

} // namespace PageBookmark
