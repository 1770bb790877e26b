#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

// Every OpenGL function past 1.1 is fetched by name once the context exists and kept
// in this one table. The list below is the only place the names are written: it makes
// the table's members, the loading and the check for missing functions.
//
// X(type, name, needed): needed marks the functions the game calls; a missing one of
// those stops start-up. The rest are fetched for completeness and may be absent (the
// unsigned uniforms, for instance, do not exist on a 2.1 context).
#define TAMQ_GL_ENTRY_POINTS(X)                                         \
    X(PFNGLGENBUFFERSPROC, glGenBuffers, true)                          \
    X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers, true)                    \
    X(PFNGLBINDBUFFERPROC, glBindBuffer, true)                          \
    X(PFNGLBUFFERDATAPROC, glBufferData, true)                          \
    X(PFNGLBUFFERSUBDATAPROC, glBufferSubData, true)                    \
    X(PFNGLCREATESHADERPROC, glCreateShader, true)                      \
    X(PFNGLDELETESHADERPROC, glDeleteShader, true)                      \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram, true)                    \
    X(PFNGLSHADERSOURCEPROC, glShaderSource, true)                      \
    X(PFNGLCOMPILESHADERPROC, glCompileShader, true)                    \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv, true)                        \
    X(PFNGLATTACHSHADERPROC, glAttachShader, true)                      \
    X(PFNGLDETACHSHADERPROC, glDetachShader, true)                      \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram, true)                        \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv, true)                      \
    X(PFNGLUSEPROGRAMPROC, glUseProgram, true)                          \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog, false)           \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog, true)              \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation, true)          \
    X(PFNGLUNIFORM1FPROC, glUniform1f, false)                           \
    X(PFNGLUNIFORM2FPROC, glUniform2f, false)                           \
    X(PFNGLUNIFORM3FPROC, glUniform3f, false)                           \
    X(PFNGLUNIFORM4FPROC, glUniform4f, false)                           \
    X(PFNGLUNIFORM1FVPROC, glUniform1fv, false)                         \
    X(PFNGLUNIFORM2FVPROC, glUniform2fv, false)                         \
    X(PFNGLUNIFORM3FVPROC, glUniform3fv, false)                         \
    X(PFNGLUNIFORM4FVPROC, glUniform4fv, false)                         \
    X(PFNGLUNIFORM1IPROC, glUniform1i, true)                            \
    X(PFNGLUNIFORM2IPROC, glUniform2i, false)                           \
    X(PFNGLUNIFORM3IPROC, glUniform3i, false)                           \
    X(PFNGLUNIFORM4IPROC, glUniform4i, false)                           \
    X(PFNGLUNIFORM1UIPROC, glUniform1ui, false)                         \
    X(PFNGLUNIFORM2UIPROC, glUniform2ui, false)                         \
    X(PFNGLUNIFORM3UIPROC, glUniform3ui, false)                         \
    X(PFNGLUNIFORM4UIPROC, glUniform4ui, false)                         \
    X(PFNGLUNIFORMMATRIX2FVPROC, glUniformMatrix2fv, false)             \
    X(PFNGLUNIFORMMATRIX3FVPROC, glUniformMatrix3fv, false)             \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv, true)              \
    X(PFNGLGETATTRIBLOCATIONPROC, glGetAttribLocation, true)            \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation, false)         \
    X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer, true)        \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray, true)   \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray, true) \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture, true)                    \
    X(PFNGLBLENDCOLORPROC, glBlendColor, false)

struct GlEntryPoints {
#define TAMQ_GL_MEMBER(type, name, needed) type name = nullptr;
    TAMQ_GL_ENTRY_POINTS(TAMQ_GL_MEMBER)
#undef TAMQ_GL_MEMBER

    // Fetches every name through the platform's resolver, in list order. Returns the
    // needed functions that came back missing, separated by spaces; empty when all are there.
    std::string load(void* (*resolve)(const char* name));
};

// The process-wide table the renderer calls through: gl.glBindBuffer(...).
extern GlEntryPoints gl;

// The state that stays fixed for the whole run: depth test (LEQUAL), back-face culling,
// alpha blending, white clear colour and texture unit 0.
void applyFixedGlState();
