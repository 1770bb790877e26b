#include "AlEntryPoints.h"

#ifdef _WIN32
#include <windows.h>

bool AlEntryPoints::load(std::string& fault) {
    HMODULE library = LoadLibraryA("OpenAL32.dll");
    if (library == nullptr) {
        fault = "OpenAL32.dll not found";
        return false;
    }
    library_ = library;
    std::string missing;
#define TAMQ_AL_FETCH(name)                                                       \
    name = reinterpret_cast<decltype(name)>(reinterpret_cast<void*>(GetProcAddress(library, #name))); \
    if (name == nullptr) {                                                              \
        missing += missing.empty() ? #name : " " #name;                                 \
    }
    TAMQ_AL_ENTRY_POINTS(TAMQ_AL_FETCH)
#undef TAMQ_AL_FETCH
    if (!missing.empty()) {
        fault = "OpenAL32.dll lacks " + missing;
        unload();
        return false;
    }
    return true;
}

void AlEntryPoints::unload() {
    if (library_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library_));
        library_ = nullptr;
    }
    *this = AlEntryPoints{};
}

#else

bool AlEntryPoints::load(std::string&) {
#define TAMQ_AL_TAKE(name) name = &::name;
    TAMQ_AL_ENTRY_POINTS(TAMQ_AL_TAKE)
#undef TAMQ_AL_TAKE
    return true;
}

void AlEntryPoints::unload() { *this = AlEntryPoints{}; }

#endif
