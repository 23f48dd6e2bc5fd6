// The korvix-sound module: plays a sound file through Qt Multimedia.
#include "mail/SoundPlayer.h"

#include <QSoundEffect>
#include <QUrl>
#include <utility>

namespace {

class WavPlayer final : public SoundPlayer {
public:
    explicit WavPlayer(const QString& path) {
        QObject::connect(&m_effect, &QSoundEffect::statusChanged, &m_effect,
                         [this] { onStatusChanged(); });
        m_effect.setSource(QUrl::fromLocalFile(path));
    }

    void play(std::function<void()> failed) override {
        switch (m_effect.status()) {
        case QSoundEffect::Ready:
            m_effect.play();
            break;
        case QSoundEffect::Error:
            failed();
            break;
        default:
            // Still being read: it plays as soon as it is ready.
            m_waiting = std::move(failed);
            break;
        }
    }

private:
    void onStatusChanged() {
        if (!m_waiting)
            return;
        if (m_effect.status() == QSoundEffect::Ready) {
            m_waiting = nullptr;
            m_effect.play();
        } else if (m_effect.status() == QSoundEffect::Error) {
            std::exchange(m_waiting, nullptr)();
        }
    }

    QSoundEffect m_effect;
    std::function<void()> m_waiting;
};

} // namespace

extern "C" Q_DECL_EXPORT SoundPlayer* korvixCreateSoundPlayer(const QString& path) {
    return new WavPlayer(path);
}
