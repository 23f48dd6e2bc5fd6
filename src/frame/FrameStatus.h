#pragma once

#include <QObject>

class DownloadList;
class QLabel;
class QStatusBar;

// The frame's status bar and its panels: the page's or the mail check's
// words with the magnifier while mail is searched, the zoom of the active
// window, what the content blocker refused, the running downloads, and the mail symbol while mail
// waits.
class FrameStatus : public QObject {
    Q_OBJECT
public:
    FrameStatus(QStatusBar* bar, DownloadList& downloads, QObject* parent = nullptr);

    QStatusBar* bar() const { return m_bar; }
    QLabel* text() const { return m_text; }
    QLabel* picture() const { return m_picture; }
    QLabel* mailSymbol() const { return m_mailSymbol; }
    QLabel* zoom() const { return m_zoom; }
    QLabel* downloads() const { return m_downloadsText; }
    QLabel* blocked() const { return m_blocked; }

    // Whether the user wants the bar ("&Statuszeile").
    bool wanted() const { return m_wanted; }
    void setWanted(bool wanted);

    void setText(const QString& text);
    // The magnifier while the mail check searches.
    void showSearching(bool searching);
    // The mail symbol with its hint, until it is double-clicked.
    void showMailWaiting(const QString& hint);
    // Zoom of the active window's page; nothing at its own size.
    void showZoom(double factor);
    // Requests the content blocker refused on the active window's page;
    // nothing while there are none.
    void showBlocked(int count);

signals:
    // A double click on the mail symbol, which hides it.
    void mailSymbolDoubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDownloads();

    QStatusBar* m_bar;
    DownloadList& m_downloadList;
    QLabel* m_picture = nullptr;
    QLabel* m_text = nullptr;
    QLabel* m_mailSymbol = nullptr;
    QLabel* m_zoom = nullptr;
    QLabel* m_downloadsText = nullptr;
    QLabel* m_blocked = nullptr;
    bool m_wanted = true;
};
