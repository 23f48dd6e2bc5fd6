#include "ui/IconCache.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QProxyStyle>
#include <QStyle>

namespace {

class IconCachingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        // An option may ask for a state or size of its own; such icons are
        // not kept.
        if (option)
            return QProxyStyle::standardIcon(which, option, widget);
        const int key =
            int(which) * 2 + (QGuiApplication::layoutDirection() == Qt::RightToLeft ? 1 : 0);
        const auto found = m_icons.constFind(key);
        if (found != m_icons.cend())
            return *found;
        return *m_icons.insert(key, QProxyStyle::standardIcon(which, option, widget));
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
