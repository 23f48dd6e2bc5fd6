#include "mail/MailSound.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

MailSound::MailSound(const QString& appDir, QObject* parent)
    : QObject(parent), m_filePath(appDir + QStringLiteral("/notify.wav")) {}

void MailSound::play() {
    if (!QFileInfo(m_filePath).isFile()) {
        QApplication::beep();
        return;
    }
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        connect(m_effect, &QSoundEffect::statusChanged, this, &MailSound::onStatusChanged);
        m_effect->setSource(QUrl::fromLocalFile(m_filePath));
    }
    switch (m_effect->status()) {
    case QSoundEffect::Ready:
        m_effect->play();
        break;
    case QSoundEffect::Error:
        QApplication::beep();
        break;
    default:
        // Still loading: it plays as soon as it is ready.
        m_playWhenLoaded = true;
        break;
    }
}

void MailSound::onStatusChanged() {
    if (!m_playWhenLoaded)
        return;
    if (m_effect->status() == QSoundEffect::Ready) {
        m_playWhenLoaded = false;
        m_effect->play();
    } else if (m_effect->status() == QSoundEffect::Error) {
        m_playWhenLoaded = false;
        QApplication::beep();
    }
}
