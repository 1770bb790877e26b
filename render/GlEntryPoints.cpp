#include "GlEntryPoints.h"

GlEntryPoints gl;

std::string GlEntryPoints::load(void* (*resolve)(const char* name)) {
    std::string missing;
#define TAMQ_GL_LOAD(type, name, needed)                                   \
    name = reinterpret_cast<type>(resolve(#name));                        \
    if (needed && name == nullptr) {                                      \
        missing += missing.empty() ? #name : " " #name;                   \
    }
    TAMQ_GL_ENTRY_POINTS(TAMQ_GL_LOAD)
#undef TAMQ_GL_LOAD
    return missing;
}

void applyFixedGlState() {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl.glActiveTexture(GL_TEXTURE0);
}
