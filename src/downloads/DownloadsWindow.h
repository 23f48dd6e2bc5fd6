#pragma once

#include <QWidget>

class DownloadList;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "Downloads": every download of the session, with its progress and state,
// to pause, resume, cancel, open or take off the list.
class DownloadsWindow : public QWidget {
    Q_OBJECT
public:
    explicit DownloadsWindow(DownloadList& downloads, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QPushButton* button(const QString& name) const;

private:
    enum Column { File, Source, Size, Progress, Speed, TimeLeft, State, ColumnCount };
    void addRow(int row);
    void updateRow(int row);
    void updateButtons();
    int selectedRow() const;
    void openFile(bool folder);

    DownloadList& m_downloads;
    QTreeWidget* m_list;
    QPushButton* m_pause;
    QPushButton* m_resume;
    QPushButton* m_cancel;
    QPushButton* m_open;
    QPushButton* m_openFolder;
    QPushButton* m_remove;
};
