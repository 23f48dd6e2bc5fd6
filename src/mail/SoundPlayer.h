#pragma once

#include <QString>
#include <functional>

// Plays one sound file. It lives in a module of its own, korvix-sound, so the
// audio libraries are loaded only when a sound is first played, not with
// every start of the program.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the file, at once or as soon as it has been read; calls `failed`
    // instead when it cannot be played.
    virtual void play(std::function<void()> failed) = 0;
};

// The module's one entry point: a new player for the file at `path`.
using CreateSoundPlayer = SoundPlayer* (*)(const QString& path);
inline constexpr char CreateSoundPlayerName[] = "korvixCreateSoundPlayer";
inline constexpr char SoundModuleName[] = "korvix-sound";
