#pragma once

#include <QObject>
#include <QString>
#include <memory>

class SoundPlayer;

// The new-mail sound: notify.wav from the program directory, or the desktop's
// own beep when that file is missing or cannot be played. Playing returns at
// once.
class MailSound : public QObject {
    Q_OBJECT
public:
    explicit MailSound(const QString& appDir, QObject* parent = nullptr);
    ~MailSound() override;

    QString filePath() const { return m_filePath; }
    void play();

private:
    QString m_filePath;
    // Made on first use: most sessions never need it.
    std::unique_ptr<SoundPlayer> m_player;
    bool m_noPlayer = false;
};
