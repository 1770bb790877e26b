#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <string>

// The OpenAL functions the audio calls, in one list that makes the table and its loading.
// On Linux they come from the linked OpenAL Soft (in the browser from emscripten's OpenAL);
// on Windows from OpenAL32.dll, looked up at start-up: the OpenAL Soft the game ships
// beside tamq.exe, where Windows looks first, or else one installed on the system; a
// machine without any still runs the game, silently.
#define TAMQ_AL_ENTRY_POINTS(X)      \
    X(alcOpenDevice)          \
    X(alcCloseDevice)         \
    X(alcCreateContext)       \
    X(alcDestroyContext)      \
    X(alcMakeContextCurrent)  \
    X(alcGetString)           \
    X(alGetError)             \
    X(alGenBuffers)           \
    X(alDeleteBuffers)        \
    X(alBufferData)           \
    X(alGenSources)           \
    X(alDeleteSources)        \
    X(alSourcei)              \
    X(alSourcef)              \
    X(alSourcePlay)           \
    X(alSourceStop)           \
    X(alListenerf)

struct AlEntryPoints {
#define TAMQ_AL_MEMBER(name) decltype(&::name) name = nullptr;
    TAMQ_AL_ENTRY_POINTS(TAMQ_AL_MEMBER)
#undef TAMQ_AL_MEMBER

    // Fills the table; false with fault naming what is missing (the library or a function).
    bool load(std::string& fault);
    // Lets go of the library a load opened. The table must not be used afterwards.
    void unload();

private:
#ifdef _WIN32
    // Only Windows opens the library at run time; elsewhere the table is linked.
    void* library_ = nullptr;
#endif
};
