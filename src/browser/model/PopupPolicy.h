#pragma once

// Whether a page may open a new window: as the window menu says ("HTML-Seiten
// dürfen neue Fenster öffnen", in front or behind), and never right after a
// command of a window's tool bar, which refuses the next request once. The
// one policy is shared by every window.
class PopupPolicy {
public:
    bool allowed() const { return m_allowed; }
    bool toBack() const { return m_toBack; }
    bool suppressed() const { return m_suppressed; }
    void setAllowed(bool allowed) { m_allowed = allowed; }
    void setToBack(bool toBack) { m_toBack = toBack; }

    // A tool bar command sets or clears the suppression.
    void suppressNext(bool suppressed) { m_suppressed = suppressed; }
    // A window that opens (and loads) lifts it.
    void windowOpened() { m_suppressed = false; }
    // Decides one page's request; whatever the answer, the suppression
    // ends with it.
    bool admit() {
        const bool admitted = m_allowed && !m_suppressed;
        m_suppressed = false;
        return admitted;
    }

private:
    bool m_allowed = true;
    bool m_toBack = false;
    bool m_suppressed = false;
};
