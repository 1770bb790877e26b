#include "ShaderProgram.h"

#include "GlEntryPoints.h"
#include "ShaderLocations.h"

#include "io/FileReader.h"

#include <cstdio>
#include <new>
#include <string>

ShaderLocations shaderLocations;

namespace {

// A shader file that cannot be read has its own long-standing line; the empty source
// then fails to compile, which is reported as well.
std::string readShaderFile(const char* path) {
    std::string text;
    std::string fault;
    if (!FileReader::read(path, text, fault)) {
        std::fprintf(stderr, "Could not load shader: %s\n", path);
    }
    return text;
}

void setSource(GLuint shader, const char* path) {
    const std::string text = readShaderFile(path);
    const GLchar* source = text.c_str();
    gl.glShaderSource(shader, 1, &source, nullptr);
}

// Compiles one shader; on failure prints the driver's log and deletes the shader, leaving
// its name 0. A failure without a log keeps the shader, so linking reports it instead.
void compile(GLuint& shader, const char* label, GLenum type) {
    gl.glCompileShader(shader);
    GLint status = 1;
    gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 1) {
        return;
    }
    GLint length = 0;
    gl.glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    if (length == 0) {
        return;
    }
    char* log = new (std::nothrow) char[length];
    if (log != nullptr) {
        gl.glGetShaderInfoLog(shader, length, nullptr, log);
        std::printf("Could not compile %s %u:\n%s\n", label, static_cast<unsigned>(type), log);
        std::fflush(stdout);
        delete[] log;
    }
    gl.glDeleteShader(shader);
    shader = 0;
}

// A shader deleted after a failed compile has the name 0, which OpenGL would only answer
// with an error flag.
void attachIfAlive(GLuint program, GLuint shader) {
    if (shader != 0) {
        gl.glAttachShader(program, shader);
    }
}

void detachIfAlive(GLuint program, GLuint shader) {
    if (shader != 0) {
        gl.glDetachShader(program, shader);
    }
}

}  // namespace

ShaderProgram::~ShaderProgram() {
    // A program never loaded (or a test without a context) has nothing to let go of.
    if (program_ == 0 || gl.glUseProgram == nullptr) {
        return;
    }
    gl.glUseProgram(0);
    detachIfAlive(program_, vertexShader_);
    detachIfAlive(program_, fragmentShader_);
}

bool ShaderProgram::load(const char* vertexPath, const char* fragmentPath) {
    vertexShader_ = gl.glCreateShader(GL_VERTEX_SHADER);
    fragmentShader_ = gl.glCreateShader(GL_FRAGMENT_SHADER);
    program_ = gl.glCreateProgram();
    setSource(vertexShader_, vertexPath);
    setSource(fragmentShader_, fragmentPath);
    return true;
}

bool ShaderProgram::compileAndLink() {
    compile(vertexShader_, "vertexShader", GL_VERTEX_SHADER);
    compile(fragmentShader_, "fragmentShader", GL_FRAGMENT_SHADER);
    attachIfAlive(program_, vertexShader_);
    attachIfAlive(program_, fragmentShader_);
    // A compatibility context would link a lone fragment shader over fixed-function vertex
    // processing and draw garbage; such a program stays unlinked, so use() gets -1 everywhere.
    GLint status = 0;
    if (vertexShader_ != 0 && fragmentShader_ != 0) {
        gl.glLinkProgram(program_);
        gl.glGetProgramiv(program_, GL_LINK_STATUS, &status);
    }
    if (status == 0) {
        std::printf("programme non linke\n");
        std::fflush(stdout);
    }
    return true;
}

void ShaderProgram::use() {
    gl.glUseProgram(program_);
    shaderLocations.finalMatrix = gl.glGetUniformLocation(program_, "finalMatrix");
    shaderLocations.texture0 = gl.glGetUniformLocation(program_, "texture0");
    shaderLocations.inVertex = gl.glGetAttribLocation(program_, "inVertex");
    shaderLocations.inNormal = gl.glGetAttribLocation(program_, "inNormal");
    shaderLocations.inTexCoord = gl.glGetAttribLocation(program_, "inTexCoord");
}
