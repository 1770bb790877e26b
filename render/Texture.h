#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>

// One OpenGL 2D texture and the decoded pixels it was made from. The decoder is chosen
// by the last four characters of the path: ".bmp", ".png", and anything else is a BMP
// whose alpha is taken from red (the bitmap font).
class Texture {
public:
    Texture() = default;
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Decodes the file into the pixel buffer. A file that cannot be decoded is reported
    // on standard error and leaves no pixels; upload then makes a placeholder.
    Texture& load(const char* path);
    // Creates the OpenGL texture from the pixels: linear filtering, mirrored repeat.
    void upload();
    void releasePixels();
    void bind() const;
    void setSmooth(bool smooth);
    void deleteTexture();

    GLuint id() const { return id_; }
    uint16_t width() const { return width_; }
    uint16_t height() const { return height_; }
    const unsigned char* pixels() const { return pixels_.get(); }
    GLint internalFormat() const { return internalFormat_; }
    GLenum format() const { return format_; }

private:
    GLuint id_ = 0;
    std::unique_ptr<unsigned char[]> pixels_;
    uint16_t width_ = 0;
    uint16_t height_ = 0;
    GLint internalFormat_ = 0;
    GLenum format_ = 0;
};
