#include "downloads/DownloadsWindow.h"

#include "downloads/DownloadList.h"
#include "downloads/model/DownloadText.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

DownloadsWindow::DownloadsWindow(DownloadList& downloads, QWidget* parent)
    : QWidget(parent, Qt::Window), m_downloads(downloads) {
    setObjectName(QStringLiteral("downloads"));
    setWindowTitle(QStringLiteral("Downloads"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget;
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({QStringLiteral("Datei"), QStringLiteral("Von"),
                             QStringLiteral("Größe"), QStringLiteral("Fortschritt"),
                             QStringLiteral("Geschwindigkeit"), QStringLiteral("Restzeit"),
                             QStringLiteral("Status")});
    m_list->header()->setSectionResizeMode(File, QHeaderView::Stretch);
    for (Column c : {Source, Size, Speed, TimeLeft, State})
        m_list->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    m_list->setColumnWidth(Progress, 120);
    layout->addWidget(m_list, 1);

    auto* buttons = new QHBoxLayout;
    const auto make = [buttons, this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    m_pause = make("pause", QStringLiteral("&Anhalten"));
    m_resume = make("resume", QStringLiteral("&Fortsetzen"));
    m_cancel = make("cancel", QStringLiteral("A&bbrechen"));
    m_open = make("open", QStringLiteral("Datei ö&ffnen"));
    m_openFolder = make("openFolder", QStringLiteral("&Ordner öffnen"));
    m_remove = make("remove", QStringLiteral("Aus Liste &entfernen"));
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(m_pause, &QPushButton::clicked, this, [this] { m_downloads.pause(selectedRow()); });
    connect(m_resume, &QPushButton::clicked, this, [this] { m_downloads.resume(selectedRow()); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_downloads.cancel(selectedRow()); });
    connect(m_open, &QPushButton::clicked, this, [this] { openFile(false); });
    connect(m_openFolder, &QPushButton::clicked, this, [this] { openFile(true); });
    connect(m_remove, &QPushButton::clicked, this, [this] { m_downloads.remove(selectedRow()); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &DownloadsWindow::updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { openFile(false); });

    connect(&m_downloads, &DownloadList::added, this, &DownloadsWindow::addRow);
    connect(&m_downloads, &DownloadList::changed, this, &DownloadsWindow::updateRow);
    connect(&m_downloads, &DownloadList::removed, this, [this](int row) {
        delete m_list->takeTopLevelItem(row);
        updateButtons();
    });
    for (int row = 0; row < m_downloads.count(); ++row)
        addRow(row);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(m_list->topLevelItemCount() - 1));
    updateButtons();
    resize(960, 320);
}

QPushButton* DownloadsWindow::button(const QString& name) const {
    return findChild<QPushButton*>(name);
}

void DownloadsWindow::addRow(int row) {
    auto* item = new QTreeWidgetItem;
    m_list->insertTopLevelItem(row, item);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    m_list->setItemWidget(item, Progress, bar);
    updateRow(row);
    // The newest download is the one the user looks for.
    m_list->setCurrentItem(item);
}

void DownloadsWindow::updateRow(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item)
        return;
    const DownloadList::Entry& e = m_downloads.at(row);
    item->setText(File, QFileInfo(e.path).fileName());
    item->setToolTip(File, e.path);
    item->setText(Source, e.source.host().isEmpty() ? e.source.toDisplayString() : e.source.host());
    item->setText(Size, e.total > 0
                            ? QStringLiteral("%1 von %2")
                                  .arg(DownloadText::size(e.received), DownloadText::size(e.total))
                            : DownloadText::size(e.received));
    if (auto* bar = qobject_cast<QProgressBar*>(m_list->itemWidget(item, Progress))) {
        if (e.state == DownloadList::State::Finished)
            bar->setValue(100);
        else if (e.total > 0)
            bar->setValue(int(e.received * 100 / e.total));
        else
            bar->setRange(0, e.state == DownloadList::State::Running ? 0 : 100);
    }
    item->setText(Speed, DownloadText::speed(e.speed));
    item->setText(TimeLeft, DownloadText::timeLeft(m_downloads.secondsLeft(row)));
    item->setText(State, DownloadList::stateText(e));
    if (item == m_list->currentItem())
        updateButtons();
}

int DownloadsWindow::selectedRow() const {
    QTreeWidgetItem* item = m_list->currentItem();
    return item ? m_list->indexOfTopLevelItem(item) : -1;
}

void DownloadsWindow::updateButtons() {
    const int row = selectedRow();
    const bool any = row >= 0 && row < m_downloads.count();
    const DownloadList::State state =
        any ? m_downloads.at(row).state : DownloadList::State::Canceled;
    const bool active =
        any && (state == DownloadList::State::Running || state == DownloadList::State::Paused);
    m_pause->setEnabled(any && state == DownloadList::State::Running);
    m_resume->setEnabled(any && state == DownloadList::State::Paused);
    m_cancel->setEnabled(active);
    m_open->setEnabled(any && state == DownloadList::State::Finished);
    m_openFolder->setEnabled(any);
    m_remove->setEnabled(any && !active);
}

void DownloadsWindow::openFile(bool folder) {
    const int row = selectedRow();
    if (row < 0 || row >= m_downloads.count())
        return;
    const DownloadList::Entry& e = m_downloads.at(row);
    if (!folder && e.state != DownloadList::State::Finished)
        return;
    const QString path = folder ? QFileInfo(e.path).absolutePath() : e.path;
    // The desktop's own program for the file or folder.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
