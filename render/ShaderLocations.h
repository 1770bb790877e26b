#pragma once

#include <GL/gl.h>

// Where the program in use keeps its matrix, sampler and the three vertex attributes.
// Refreshed by every ShaderProgram::use; every draw reads it, so whatever program was
// used last is the one that draws.
struct ShaderLocations {
    GLint finalMatrix = 0;
    GLint texture0 = 0;
    GLint inVertex = 0;
    GLint inNormal = 0;
    GLint inTexCoord = 0;
};

extern ShaderLocations shaderLocations;
