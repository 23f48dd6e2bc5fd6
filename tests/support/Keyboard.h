#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

// Keys as a person presses them: focus is given by a click or a focusing
// key, and every key goes where the window system delivers it, to the
// application's focus widget (or an open popup), never to a widget the test
// picked itself. A combo box, for one, hands keys to its line edit past that
// line edit's event filters.
namespace Keyboard {

// The widget a key pressed now would reach: an open popup's focus, else
// the focus widget, else the active window itself.
inline QWidget* target() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    return QApplication::activeWindow();
}

// Brings `window` to the front, as a person does before pressing a key
// that the window as a whole answers, and waits until the application has
// made it its active window: a window can call itself active a little
// before the keys go to it.
inline bool activate(QWidget* window) {
    window = window->window();
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 10000);
}

// Brings `widget`'s window to the front and clicks into the widget where a
// person aims, its middle, on whatever child lies there. True when the
// keyboard focus then sits in `widget` (or on the widget it hands focus to).
inline bool clickInto(QWidget* widget, QPoint at = QPoint(-1, -1)) {
    if (!activate(widget)) {
        qWarning("clickInto: the window of %s did not come to the front",
                 qPrintable(widget->objectName()));
        return false;
    }
    const QPoint local = at.x() < 0 ? widget->rect().center() : at;
    QWidget* under = widget->childAt(local);
    QWidget* clicked = under ? under : widget;
    QTest::mouseClick(clicked, Qt::LeftButton, {}, clicked->mapFrom(widget, local));
    const auto inside = [widget] {
        QWidget* focus = QApplication::focusWidget();
        return focus && (focus == widget || widget->isAncestorOf(focus) ||
                         focus == widget->focusProxy() || focus->isAncestorOf(widget));
    };
    if (QTest::qWaitFor(inside, 5000))
        return true;
    QWidget* focus = QApplication::focusWidget();
    qWarning("clickInto: the focus is on %s, not in %s",
             focus ? focus->metaObject()->className() : "nothing",
             qPrintable(widget->objectName()));
    return false;
}

// Tab pressed until the focus sits on `widget`, as a person reaches a button
// without pressing it. False when a round of the focus chain never got there.
inline bool tabTo(QWidget* widget, int most = 80) {
    if (!activate(widget))
        return false;
    for (int i = 0; i < most && QApplication::focusWidget() != widget; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget() == widget;
}

// One key to where it lands. False when no window of the program is
// active, so a real key would not reach it either.
inline bool press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* to = target();
    if (!to)
        return false;
    QTest::keyClick(to, key, modifiers);
    return true;
}

// Text typed character by character where the keys land. A letter beyond
// ASCII comes as a German keyboard sends it: its own key with its text.
inline bool type(const QString& text) {
    QWidget* to = target();
    if (!to)
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(to, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, to, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
    }
    return true;
}

} // namespace Keyboard
