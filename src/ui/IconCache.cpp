#include "ui/IconCache.h"

#include "ui/LazyFileIcons.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QIconEngine>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>

#include <functional>

namespace {

// Reads the style's picture files when the icon is first measured or drawn.
// The style decodes every size it has of an icon, up to 128 pixels, as soon
// as it is asked for it: the first window's thirteen tool bar buttons took
// about ten milliseconds, just when the first page was about to start.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make) : m_make(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QString iconName() override { return icon().name(); }
    // Every standard picture the program asks for exists in the styles it
    // runs with; asking would read the files.
    bool isNull() override { return false; }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& icon() {
        if (m_make) {
            m_icon = m_make();
            m_make = nullptr;
        }
        return m_icon;
    }

    std::function<QIcon()> m_make;
    QIcon m_icon;
};

class IconCachingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        // An option may ask for a state or size of its own; such icons are
        // not kept, but they too read only the sizes drawn (a tool bar's
        // extension button, made with every tool bar, is seldom drawn).
        if (option) {
            const LazyFileIcons lazy;
            return QProxyStyle::standardIcon(which, option, widget);
        }
        const int key =
            int(which) * 2 + (QGuiApplication::layoutDirection() == Qt::RightToLeft ? 1 : 0);
        const auto found = m_icons.constFind(key);
        if (found != m_icons.cend())
            return *found;
        // The icon is the same for every widget, so none is kept with it.
        const QIcon deferred(new DeferredIconEngine([base = QPointer<QStyle>(baseStyle()), which] {
            // Of the sizes the style has, only those drawn are read.
            const LazyFileIcons lazy;
            return base ? base->standardIcon(which) : QIcon();
        }));
        return *m_icons.insert(key, deferred);
    }

private:
    mutable QHash<int, QIcon> m_icons;
};

} // namespace

void installIconCache() {
    // On the style the application chose (the desktop's, or the one asked
    // for with -style).
    QApplication::setStyle(new IconCachingStyle(QApplication::style()->name()));
}
