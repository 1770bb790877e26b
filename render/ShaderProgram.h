#pragma once

#include <GL/gl.h>

// One GLSL program made of a vertex and a fragment shader file. The game keeps two (basic
// and game-over) and switches by calling use; every draw takes whichever was used last.
class ShaderProgram {
public:
    ShaderProgram() = default;
    // Stops using the program and detaches its shaders; the GL objects live on with the context.
    ~ShaderProgram();
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    // Creates the program and its two shaders and hands them the files' text. A missing
    // file is reported on standard error and leaves an empty source, which then fails to compile.
    bool load(const char* vertexPath, const char* fragmentPath);
    // Compile and link failures are reported on standard output; the program stays usable as an object.
    bool compileAndLink();
    // Makes the program current and looks its five locations up into shaderLocations.
    void use();

    GLuint program() const { return program_; }
    GLuint vertexShader() const { return vertexShader_; }
    GLuint fragmentShader() const { return fragmentShader_; }

private:
    GLuint program_ = 0;
    GLuint vertexShader_ = 0;
    GLuint fragmentShader_ = 0;
};
