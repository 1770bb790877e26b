#include "AudioPlayer.h"

#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "io/WavFile.h"

#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* kNullOutput = "No Output";

void reportSilent(const std::string& why) { FaultReporter::report("audio", why + "; the game plays without sound"); }

// The sound system's own libraries (ALSA, OpenAL Soft) print their probing of devices on
// standard error, several lines for a machine without sound. The game's one line says what
// matters, so theirs is held back while a device is opened.
class QuietStandardError {
public:
#ifdef _WIN32
    // Nothing on Windows prints there; a constructor of its own keeps the unused-variable check quiet.
    QuietStandardError() {}
    ~QuietStandardError() {}
#else
    QuietStandardError() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~QuietStandardError() {
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }

private:
    int saved_ = -1;
#endif
};

}  // namespace

AudioPlayer::~AudioPlayer() { shutdown(); }

bool AudioPlayer::init(const char* deviceName) {
    std::string fault;
    if (!al_.load(fault)) {
        reportSilent(fault);
        return false;
    }
    {
        QuietStandardError quiet;
        device_ = al_.alcOpenDevice(deviceName);
        if (device_ != nullptr) {
            context_ = al_.alcCreateContext(device_, nullptr);
        }
    }
    if (device_ == nullptr) {
        reportSilent(deviceName != nullptr ? std::string("the audio device ") + deviceName + " cannot be opened"
                                           : std::string("no audio device could be opened"));
        shutdown();
        return false;
    }
    // OpenAL Soft falls back to a device that plays into nothing when it finds no other.
    const char* name = al_.alcGetString(device_, ALC_DEVICE_SPECIFIER);
    if (name != nullptr && std::strcmp(name, kNullOutput) == 0) {
        reportSilent("no audio device found");
        shutdown();
        return false;
    }
    if (context_ == nullptr || al_.alcMakeContextCurrent(context_) != ALC_TRUE) {
        reportSilent(std::string("the audio device ") + (name != nullptr ? name : "?") + " cannot play");
        shutdown();
        return false;
    }
    al_.alGetError();
    al_.alGenSources(kVoices, voices_);
    al_.alGenSources(1, &loopVoice_);
    al_.alGenBuffers(kSoundCount, buffers_);
    if (al_.alGetError() != AL_NO_ERROR) {
        reportSilent("the audio device has no room for the game's voices");
        shutdown();
        return false;
    }
    al_.alSourcei(loopVoice_, AL_LOOPING, AL_TRUE);
    for (int i = 0; i < kSoundCount; ++i) {
        loaded_[i] = loadSound(i);
    }
    return true;
}

bool AudioPlayer::loadSound(int index) {
    const char* path = kSoundFiles[index];
    std::string bytes;
    std::string fault;
    WavSound sound;
    if (!FileReader::read(path, bytes, fault) || !WavFile::parse(bytes, sound, fault)) {
        FaultReporter::report(path, fault + "; this sound stays silent");
        return false;
    }
    al_.alGetError();
    al_.alBufferData(buffers_[index], sound.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16,
                     sound.samples.data(), static_cast<ALsizei>(sound.samples.size() * sizeof(int16_t)),
                     static_cast<ALsizei>(sound.sampleRate));
    if (al_.alGetError() != AL_NO_ERROR) {
        FaultReporter::report(path, "the audio device refused the sound; it stays silent");
        return false;
    }
    return true;
}

void AudioPlayer::shutdown() {
    if (context_ != nullptr) {
        stopAll();
        al_.alDeleteSources(kVoices, voices_);
        al_.alDeleteSources(1, &loopVoice_);
        al_.alDeleteBuffers(kSoundCount, buffers_);
        al_.alcMakeContextCurrent(nullptr);
        al_.alcDestroyContext(context_);
        context_ = nullptr;
    }
    if (device_ != nullptr) {
        al_.alcCloseDevice(device_);
        device_ = nullptr;
    }
    for (bool& loaded : loaded_) {
        loaded = false;
    }
    loopSound_ = -1;
    al_.unload();
}

bool AudioPlayer::hasSound(SoundId id) const {
    return context_ != nullptr && loaded_[static_cast<int>(id)];
}

void AudioPlayer::play(SoundId id, float gain, float pitch) {
    if (!hasSound(id)) {
        return;
    }
    const ALuint voice = voices_[nextVoice_];
    nextVoice_ = (nextVoice_ + 1) % kVoices;
    al_.alSourceStop(voice);
    al_.alSourcei(voice, AL_BUFFER, static_cast<ALint>(buffers_[static_cast<int>(id)]));
    al_.alSourcef(voice, AL_GAIN, gain);
    al_.alSourcef(voice, AL_PITCH, pitch);
    al_.alSourcePlay(voice);
}

void AudioPlayer::loop(SoundId id, float gain, float pitch) {
    if (!hasSound(id)) {
        return;
    }
    al_.alSourcef(loopVoice_, AL_GAIN, gain);
    al_.alSourcef(loopVoice_, AL_PITCH, pitch);
    if (loopSound_ != static_cast<int>(id)) {
        al_.alSourceStop(loopVoice_);
        al_.alSourcei(loopVoice_, AL_BUFFER, static_cast<ALint>(buffers_[static_cast<int>(id)]));
        al_.alSourcePlay(loopVoice_);
        loopSound_ = static_cast<int>(id);
    }
}

void AudioPlayer::stopLoop() {
    if (context_ != nullptr && loopSound_ >= 0) {
        al_.alSourceStop(loopVoice_);
    }
    loopSound_ = -1;
}

void AudioPlayer::stopAll() {
    stopLoop();
    if (context_ != nullptr) {
        for (ALuint voice : voices_) {
            al_.alSourceStop(voice);
        }
    }
}

void AudioPlayer::setMuted(bool muted) {
    if (context_ != nullptr) {
        al_.alListenerf(AL_GAIN, muted ? 0.0f : 1.0f);
    }
}
