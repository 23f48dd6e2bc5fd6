#pragma once

#include <QObject>
#include <QString>

class QSoundEffect;

// The new-mail sound: notify.wav from the program directory, or the desktop's
// own beep when that file is missing or cannot be played. Playing returns at
// once.
class MailSound : public QObject {
    Q_OBJECT
public:
    explicit MailSound(const QString& appDir, QObject* parent = nullptr);

    QString filePath() const { return m_filePath; }
    void play();

private:
    void onStatusChanged();

    QString m_filePath;
    QSoundEffect* m_effect = nullptr; // made on first use: most sessions never need it
    bool m_playWhenLoaded = false;
};
