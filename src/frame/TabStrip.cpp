// The tab strip of open windows along the top or bottom edge of the frame.
#include "browser/BrowserWindow.h"
#include "browser/WebView.h"
#include "common/Twips.h"
#include "frame/MainFrame.h"
#include "prefs/model/Prefer.h"

#include <QAction>
#include <QMdiArea>
#include <QTabBar>
#include <QToolBar>

namespace {
// Tabs drawn as flat buttons instead of tabs.
const QString kButtonStyle = QStringLiteral(
    "QTabBar::tab { border: 1px solid palette(mid); border-radius: 2px; padding: 2px 8px;"
    " margin: 1px 2px; background: palette(button); }"
    "QTabBar::tab:selected { background: palette(light); border-color: palette(dark); }"
    "QTabBar::tab:hover { background: palette(midlight); }");
} // namespace

QString MainFrame::StrToCaption(const QString& s) {
    QString out = s;
    out.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return out;
}

int MainFrame::tabIndexOf(qint32 id) const {
    for (int i = 0; i < m_tabStrip->count(); ++i)
        if (m_tabStrip->tabData(i).toInt() == id)
            return i;
    return -1;
}

void MainFrame::CreateTab(qint32 nID, const QString& sCap) {
    const int i = m_tabStrip->addTab(sCap);
    m_tabStrip->setTabData(i, nID);
    m_tabStrip->setTabToolTip(i, sCap);
    TabStripResize();
}

void MainFrame::RemoveTab(qint32 nKey) {
    for (int i = 0; i < m_browser.size(); ++i) {
        if (m_browser[i]->ID == nKey) {
            m_browser.removeAt(i);
            break;
        }
    }
    const int i = tabIndexOf(nKey);
    if (i >= 0)
        m_tabStrip->removeTab(i);
    if (m_browser.isEmpty())
        SetToolbarVisible(false);
}

void MainFrame::SetTapTitle(const QString& sTitle, qint32 nKey) {
    if (sTitle.isEmpty() || nKey <= 0)
        return;
    const int i = tabIndexOf(nKey);
    const QString caption = StrToCaption(sTitle);
    // The strip lays out all its tabs again on every change.
    if (i < 0 || m_tabStrip->tabText(i) == caption)
        return;
    m_tabStrip->setTabText(i, caption);
    m_tabStrip->setTabToolTip(i, caption);
}

void MainFrame::UpdateTab() {
    BrowserWindow* active = activeBrowser();
    if (!active) {
        SetToolbarVisible(false);
        return;
    }
    if (m_browser.isEmpty() || !action(QStringLiteral("mn_Register"))->isChecked())
        return;
    const int i = tabIndexOf(active->ID);
    if (i < 0)
        return;
    m_tabStrip->setCurrentIndex(i);
    if (!active->windowTitle().isEmpty()) {
        m_tabStrip->setTabText(i, StrToCaption(active->windowTitle()));
        m_tabStrip->setTabToolTip(i, StrToCaption(active->windowTitle()));
    }
}

QFont MainFrame::SetFontFace(bool bBold, const QString& sFont) const {
    QFont font(sFont);
    font.setPointSizeF(8.25);
    font.setBold(bBold);
    return font;
}

std::optional<int> MainFrame::tabStripOffset(bool buttons, int align) {
    if (align == 1)
        return buttons ? 60 : 30;
    if (align == 2)
        return buttons ? -90 : -60;
    return std::nullopt;
}

void MainFrame::SetTabStripPos(bool bTabBtn) {
    const std::optional<int> offset = tabStripOffset(bTabBtn, nTabAlign);
    if (!offset)
        return;
    // The strip sits that far below the bar's top edge; a negative offset
    // pulls it up against the edge of the frame below it.
    const int px = twipsToPx(*offset);
    m_toolbar1->setContentsMargins(0, px > 0 ? px : 0, 0, px < 0 ? -px : 0);
}

void MainFrame::TabStripResize() {
    m_tabStrip->setMinimumWidth(0);
    m_tabStrip->setMaximumWidth(m_mdi->width() > 0 ? m_mdi->width() : QWIDGETSIZE_MAX);
    m_tabStrip->update();
}

void MainFrame::SetToolbarPos(qint16 nAlign) {
    const bool visible = !m_toolbar1->isHidden();
    removeToolBar(m_toolbar1);
    addToolBar(nAlign == 1 ? Qt::TopToolBarArea : Qt::BottomToolBarArea, m_toolbar1);
    m_toolbar1->setVisible(visible);
    const bool buttons = hasPrefs() && prefs().TabButton != 0;
    m_tabStrip->setStyleSheet(buttons ? kButtonStyle : QString());
    m_tabStrip->setDrawBase(!buttons);
    m_tabStrip->setShape(nAlign == 1 ? QTabBar::RoundedNorth : QTabBar::RoundedSouth);
    m_tabStrip->setFont(
        SetFontFace(hasPrefs() && prefs().TabFontBold > 0, QStringLiteral("Verdana")));
    m_tabStrip->update();
    SetTabStripPos(buttons);
    action(QStringLiteral("mn_RegisterOben"))->setChecked(nAlign == 1);
    action(QStringLiteral("mn_RegisterUnten"))->setChecked(nAlign != 1);
}

void MainFrame::SetToolbarVisible(bool visible) {
    m_toolbar1->setVisible(visible);
    m_tabStrip->setVisible(visible);
    setEnabled({QStringLiteral("mn_RegisterOben"), QStringLiteral("mn_RegisterUnten"),
                QStringLiteral("mn_ctxtRegisterOben"), QStringLiteral("mn_ctxtRegisterUnten")},
               visible);
}

void MainFrame::UpdateToolbarPos() {
    if (action(QStringLiteral("mn_RegisterOben"))->isChecked())
        mn_RegisterOben_Click();
    else if (action(QStringLiteral("mn_RegisterUnten"))->isChecked())
        mn_RegisterUnten_Click();
}

void MainFrame::mn_Register_Click() {
    bTabVisible = !bTabVisible;
    setChecked({QStringLiteral("mn_Register"), QStringLiteral("mn_ctxtRegister"),
                QStringLiteral("mn_ctxtRegisterT")},
               bTabVisible);
    if (!m_browser.isEmpty() && bTabVisible) {
        SetToolbarVisible(true);
        UpdateTab();
    } else {
        SetToolbarVisible(false);
    }
}

void MainFrame::mn_RegisterOben_Click() {
    setChecked({QStringLiteral("mn_RegisterOben"), QStringLiteral("mn_ctxtRegisterOben"),
                QStringLiteral("mn_ctxtRegisterObenT")},
               true);
    setChecked({QStringLiteral("mn_RegisterUnten"), QStringLiteral("mn_ctxtRegisterUnten"),
                QStringLiteral("mn_ctxtRegisterUntenT")},
               false);
    nTabAlign = 1;
    SetToolbarPos(1);
    m_toolbar1->update();
}

void MainFrame::mn_RegisterUnten_Click() {
    setChecked({QStringLiteral("mn_RegisterUnten"), QStringLiteral("mn_ctxtRegisterUnten"),
                QStringLiteral("mn_ctxtRegisterUntenT")},
               true);
    setChecked({QStringLiteral("mn_RegisterOben"), QStringLiteral("mn_ctxtRegisterOben"),
                QStringLiteral("mn_ctxtRegisterObenT")},
               false);
    nTabAlign = 2;
    SetToolbarPos(2);
    m_toolbar1->update();
}

void MainFrame::TabStrip1_Click() {
    const int i = m_tabStrip->currentIndex();
    if (i < 0)
        return;
    const qint32 id = m_tabStrip->tabData(i).toInt();
    if (id <= 0)
        return;
    BrowserWindow* w = browserByKey(StrKey(id));
    if (!w || !m_mdi->activeSubWindow())
        return;
    if (activeBrowser() != w)
        w->ControlResize();
    m_mdi->setActiveSubWindow(w);
    w->ControlResize();
    const QString text = !w->sTitle.isEmpty() ? w->sTitle : w->webView()->locationUrl();
    m_tabStrip->setTabText(i, StrToCaption(text));
    m_tabStrip->setTabToolTip(i, StrToCaption(text));
}
