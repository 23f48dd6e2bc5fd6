#pragma once

#include <QToolBar>
#include <optional>

class QTabBar;

// The bar along the top or bottom edge of the frame with one tab per open
// browser window. Tabs are known by their window's number.
class TabBar : public QToolBar {
    Q_OBJECT
public:
    explicit TabBar(QWidget* parent);

    QTabBar* tabs() const { return m_tabs; }

    // A title as a tab shows it: every "&" doubled, so it is no access key.
    static QString caption(const QString& title);
    // The tab font: Verdana, 8.25 points.
    static QFont font(bool bold);
    // Offset of the strip inside its bar in twips, or nothing for an
    // alignment other than top (1) or bottom (2).
    static std::optional<int> stripOffset(bool buttons, int align);

    void addTab(qint32 id, const QString& caption);
    void removeTab(qint32 id);
    // Takes out every tab in one go: one at a time, the strip lays out all
    // the others again for each, even while hidden.
    void clear();
    int indexOf(qint32 id) const;
    // Caption and tooltip of the window's tab; the text as given.
    void setTabText(qint32 id, const QString& text);
    void select(qint32 id);
    // Tabs or flat buttons, bold or not, placed for the top or the bottom.
    void setLook(bool buttons, bool bold, int align);
    // The strip is as wide as the frame's inner width.
    void fitWidth(int width);

signals:
    // A tab was clicked; its window's number.
    void tabClicked(qint32 id);
    void contextMenuRequested(const QPoint& globalPos);

private:
    QTabBar* m_tabs;
};
