#pragma once

#include "audio/AlEntryPoints.h"
#include "audio/SoundId.h"

#include <string>

// The game's sound output over OpenAL: every sound is loaded once by init, then played as a
// one-shot cue on a small fixed set of voices, or as the one loop. Nothing is allocated and
// nothing waits for the device after init; OpenAL Soft mixes on a thread of its own.
// Without a device, or with a sound file that is missing or damaged, one line on standard
// error says so and the affected sounds (or all of them) are simply not heard.
class AudioPlayer {
public:
    static constexpr int kVoices = 8;

    AudioPlayer() = default;
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Opens the device (the system's default without a name) and loads every sound of
    // kSoundFiles. False when the game will be silent (no library, no device, a device that
    // cannot play); a faulty file only silences itself.
    bool init(const char* deviceName = nullptr);
    // Stops everything and closes the device. Safe to repeat.
    void shutdown();

    bool hasDevice() const { return context_ != nullptr; }
    bool hasSound(SoundId id) const;

    // A cue: takes the voice used longest ago, so a burst of cues cuts the oldest one short.
    void play(SoundId id, float gain = 1.0f, float pitch = 1.0f);
    // The one looping sound: starts it if it is not the one playing, and sets its gain and pitch.
    void loop(SoundId id, float gain, float pitch);
    void stopLoop();
    void stopAll();

    // Muting keeps everything playing, inaudibly, so unmuting resumes the engine at once.
    // The flag itself is the window's (M toggles it); the shell passes it on every frame.
    void setMuted(bool muted);

private:
    bool loadSound(int index);

    AlEntryPoints al_;
    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
    ALuint buffers_[kSoundCount] = {};
    bool loaded_[kSoundCount] = {};
    ALuint voices_[kVoices] = {};
    int nextVoice_ = 0;
    ALuint loopVoice_ = 0;
    int loopSound_ = -1;
};
