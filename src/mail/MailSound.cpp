#include "mail/MailSound.h"

#include "mail/SoundPlayer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace {

// The sound module lies beside the program, or in its own folder of the
// installed tree (bin/korvix, lib/<multiarch>/korvix/korvix-sound.so).
SoundPlayer* loadPlayer(const QString& soundFile) {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString name = QString::fromLatin1(SoundModuleName);
    QStringList problems;
    for (const QString& path :
         {programDir.filePath(name),
          programDir.filePath(QStringLiteral("../" KORVIX_MODULE_DIR "/") + name)}) {
        QLibrary module(path);
        // Stays loaded for the rest of the session: the player's code is in it.
        if (auto create =
                reinterpret_cast<CreateSoundPlayer>(module.resolve(CreateSoundPlayerName)))
            return create(soundFile);
        problems << module.errorString();
    }
    qWarning("no sound module: %s", qPrintable(problems.join(QStringLiteral("; "))));
    return nullptr;
}

} // namespace

MailSound::MailSound(const QString& appDir, QObject* parent)
    : QObject(parent), m_filePath(appDir + QStringLiteral("/notify.wav")) {}

MailSound::~MailSound() = default;

void MailSound::play() {
    if (!QFileInfo(m_filePath).isFile()) {
        QApplication::beep();
        return;
    }
    if (!m_player && !m_noPlayer) {
        m_player.reset(loadPlayer(m_filePath));
        m_noPlayer = !m_player;
    }
    if (!m_player) {
        QApplication::beep();
        return;
    }
    m_player->play([] { QApplication::beep(); });
}
