#include "frame/TabBar.h"

#include "common/Twips.h"

#include <QStyleOptionTab>
#include <QTabBar>

namespace {
// Each repaint asks every tab for its look, also the tabs scrolled out of
// sight, and shortening a caption to its tab lays the text out: with
// hundreds of windows that took most of the strip's paint. A tab out of
// sight is not drawn, so it gets no caption work.
class StripTabs : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    void initStyleOption(QStyleOptionTab* option, int index) const override {
        const QRect at = tabRect(index);
        if (at.intersects(rect())) {
            QTabBar::initStyleOption(option, index);
            return;
        }
        option->initFrom(this);
        option->rect = at;
        option->shape = shape();
        option->text = tabText(index);
        option->documentMode = documentMode();
        option->tabIndex = index;
    }
};

// Tabs drawn as flat buttons instead of tabs.
const QString kButtonStyle = QStringLiteral(
    "QTabBar::tab { border: 1px solid palette(mid); border-radius: 2px; padding: 2px 8px;"
    " margin: 1px 2px; background: palette(button); }"
    "QTabBar::tab:selected { background: palette(light); border-color: palette(dark); }"
    "QTabBar::tab:hover { background: palette(midlight); }");
} // namespace

TabBar::TabBar(QWidget* parent) : QToolBar(QStringLiteral("Registerzeile"), parent) {
    setObjectName(QStringLiteral("Toolbar1"));
    setMovable(false);
    setFloatable(false);
    toggleViewAction()->setVisible(false);
    m_tabs = new StripTabs(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_tabs->setExpanding(false);
    m_tabs->setElideMode(Qt::ElideRight);
    m_tabs->setUsesScrollButtons(true);
    m_tabs->setDocumentMode(true);
    m_tabs->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tabs->setAcceptDrops(true);
    addWidget(m_tabs);
    connect(m_tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index < 0)
            return;
        m_tabs->setCurrentIndex(index);
        emit tabClicked(m_tabs->tabData(index).toInt());
    });
    connect(m_tabs, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit contextMenuRequested(m_tabs->mapToGlobal(pos)); });
}

QString TabBar::caption(const QString& title) {
    QString out = title;
    out.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return out;
}

QFont TabBar::font(bool bold) {
    QFont f(QStringLiteral("Verdana"));
    f.setPointSizeF(8.25);
    f.setBold(bold);
    return f;
}

std::optional<int> TabBar::stripOffset(bool buttons, int align) {
    if (align == 1)
        return buttons ? 60 : 30;
    if (align == 2)
        return buttons ? -90 : -60;
    return std::nullopt;
}

void TabBar::addTab(qint32 id, const QString& text) {
    const int i = m_tabs->addTab(text);
    m_tabs->setTabData(i, id);
    m_tabs->setTabToolTip(i, text);
}

void TabBar::removeTab(qint32 id) {
    const int i = indexOf(id);
    if (i >= 0)
        m_tabs->removeTab(i);
}

void TabBar::clear() {
    // Only a change of the current tab lays the strip out, and tabs taken
    // from behind the current one do not change it.
    m_tabs->setCurrentIndex(0);
    while (m_tabs->count() > 0)
        m_tabs->removeTab(m_tabs->count() - 1);
}

int TabBar::indexOf(qint32 id) const {
    for (int i = 0; i < m_tabs->count(); ++i)
        if (m_tabs->tabData(i).toInt() == id)
            return i;
    return -1;
}

void TabBar::setTabText(qint32 id, const QString& text) {
    const int i = indexOf(id);
    // The strip lays out all its tabs again on every change.
    if (i < 0 || m_tabs->tabText(i) == text)
        return;
    m_tabs->setTabText(i, text);
    m_tabs->setTabToolTip(i, text);
}

void TabBar::select(qint32 id) {
    const int i = indexOf(id);
    if (i >= 0)
        m_tabs->setCurrentIndex(i);
}

void TabBar::setLook(bool buttons, bool bold, int align) {
    // Setting a style sheet polishes the strip anew, even with the same text;
    // the look is given again whenever the bar is docked.
    const QString sheet = buttons ? kButtonStyle : QString();
    if (m_tabs->styleSheet() != sheet)
        m_tabs->setStyleSheet(sheet);
    m_tabs->setDrawBase(!buttons);
    m_tabs->setShape(align == 1 ? QTabBar::RoundedNorth : QTabBar::RoundedSouth);
    m_tabs->setFont(font(bold));
    m_tabs->update();
    // The strip sits that far below the bar's top edge; a negative offset
    // pulls it up against the edge of the frame below it.
    if (const std::optional<int> offset = stripOffset(buttons, align)) {
        const int px = twipsToPx(*offset);
        setContentsMargins(0, px > 0 ? px : 0, 0, px < 0 ? -px : 0);
    }
}

void TabBar::fitWidth(int width) {
    m_tabs->setMinimumWidth(0);
    m_tabs->setMaximumWidth(width > 0 ? width : QWIDGETSIZE_MAX);
    m_tabs->update();
}
