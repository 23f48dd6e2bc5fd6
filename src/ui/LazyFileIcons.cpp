// The engine below is offered to QIcon as a static icon engine plugin.
#define QT_STATICPLUGIN

#include "ui/LazyFileIcons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QIconEnginePlugin>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QtPlugin>

#include <array>

namespace {

thread_local bool t_lazy = false;

// An icon from picture files, each read when its size is first wanted. Picks
// sizes and makes the disabled, active and selected looks as Qt's own file
// icons do: the smallest picture at least as large as asked for (else the
// largest), scaled down smoothly, with the style making the other looks.
class LazyFileIconEngine : public QIconEngine {
public:
    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode,
                 QIcon::State state) override {
        if (fileName.isEmpty())
            return;
        // Without a size given, the file's header tells it.
        const QSize known = size.isValid() ? size : QImageReader(fileName).size();
        if (!known.isValid())
            return;
        m_entries.append({fileName, known, mode, state, {}});
        // A picture made before may no longer be the best match.
        m_made.clear();
    }

    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override {
        if (pixmap.isNull())
            return;
        m_entries.append({{}, pixmap.size(), mode, state, pixmap});
        m_made.clear();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const QString key = QStringLiteral("%1x%2/%3/%4")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(mode))
                                .arg(int(state));
        const auto found = m_made.constFind(key);
        if (found != m_made.cend())
            return *found;
        Entry* entry = nullptr;
        // A file that cannot be read is dropped and the next best taken.
        while ((entry = bestMatch(size, mode, state)) && entry->pixmap.isNull()) {
            entry->pixmap = QPixmap::fromImage(QImageReader(entry->fileName).read());
            if (entry->pixmap.isNull())
                m_entries.removeAt(entry - m_entries.data());
        }
        if (!entry)
            return {};
        QPixmap pm = entry->pixmap;
        const QSize fitted = fit(pm.size(), size);
        if (pm.size() != fitted)
            pm = pm.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (entry->mode != mode && mode != QIcon::Normal) {
            QStyleOption option(0);
            option.palette = QGuiApplication::palette();
            const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, pm, &option);
            if (!generated.isNull())
                pm = generated;
        }
        m_made.insert(key, pm);
        return pm;
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const Entry* entry = bestMatch(size, mode, state);
        return entry ? fit(entry->size, size) : QSize();
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const QPaintDevice* device = painter->device();
        const qreal ratio = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        QList<QSize> sizes;
        for (const Entry& entry : std::as_const(m_entries)) {
            if (entry.mode == mode && entry.state == state && !entry.size.isEmpty())
                sizes.append(entry.size);
        }
        return sizes;
    }

    bool isNull() override { return m_entries.isEmpty(); }
    QString key() const override { return QStringLiteral("LazyFileIconEngine"); }
    QIconEngine* clone() const override { return new LazyFileIconEngine(*this); }

private:
    struct Entry {
        QString fileName;
        QSize size;
        QIcon::Mode mode;
        QIcon::State state;
        QPixmap pixmap; // null until read
    };

    static QSize fit(QSize have, const QSize& wanted) {
        if (have.width() > wanted.width() || have.height() > wanted.height())
            have.scale(wanted, Qt::KeepAspectRatio);
        return have;
    }

    static qint64 area(const QSize& s) { return qint64(s.width()) * s.height(); }

    // The look asked for first, then the nearest ones that exist.
    Entry* bestMatch(const QSize& size, QIcon::Mode mode, QIcon::State state) {
        const QIcon::State other = state == QIcon::On ? QIcon::Off : QIcon::On;
        using Look = std::pair<QIcon::Mode, QIcon::State>;
        std::array<Look, 8> order;
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            const QIcon::Mode opposite =
                mode == QIcon::Disabled ? QIcon::Selected : QIcon::Disabled;
            order = {{{mode, state},
                      {QIcon::Normal, state},
                      {QIcon::Active, state},
                      {mode, other},
                      {QIcon::Normal, other},
                      {QIcon::Active, other},
                      {opposite, state},
                      {opposite, other}}};
        } else {
            const QIcon::Mode opposite = mode == QIcon::Normal ? QIcon::Active : QIcon::Normal;
            order = {{{mode, state},
                      {opposite, state},
                      {mode, other},
                      {opposite, other},
                      {QIcon::Disabled, state},
                      {QIcon::Selected, state},
                      {QIcon::Disabled, other},
                      {QIcon::Selected, other}}};
        }
        const qint64 wanted = area(size);
        for (const Look& look : order) {
            Entry* best = nullptr;
            for (Entry& entry : m_entries) {
                if (entry.mode != look.first || entry.state != look.second)
                    continue;
                const qint64 a = area(entry.size);
                const qint64 b = best ? area(best->size) : 0;
                // The smallest one that is large enough, else the largest.
                if (!best || (a >= wanted && (b < wanted || a < b)) || (b < wanted && a > b))
                    best = &entry;
            }
            if (best)
                return best;
        }
        return nullptr;
    }

    QList<Entry> m_entries;
    QHash<QString, QPixmap> m_made;
};

} // namespace

class KorvixLazyPngIcons : public QIconEnginePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QIconEngineFactoryInterface_iid FILE "LazyFileIcons.json")
public:
    // Outside a LazyFileIcons scope Qt makes the icon itself.
    QIconEngine* create(const QString&) override {
        return t_lazy ? new LazyFileIconEngine : nullptr;
    }
};

// Made by moc from the class above.
extern const QStaticPlugin qt_static_plugin_KorvixLazyPngIcons();

LazyFileIcons::LazyFileIcons() : m_outer(!t_lazy) {
    static const bool registered = [] {
        qRegisterStaticPluginFunction(qt_static_plugin_KorvixLazyPngIcons());
        return true;
    }();
    Q_UNUSED(registered);
    t_lazy = true;
}

LazyFileIcons::~LazyFileIcons() {
    if (m_outer)
        t_lazy = false;
}

#include "LazyFileIcons.moc"
