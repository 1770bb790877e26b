#include "Texture.h"

#include "ImageDecoders.h"

#include <GL/glext.h>

#include <cstring>

namespace {

bool endsWith(const char* path, const char* suffix) {
    size_t length = std::strlen(path);
    size_t suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::memcmp(path + length - suffixLength, suffix, suffixLength) == 0;
}

// Shown in place of an image that failed to decode, so the fault is visible on screen
// rather than drawn from unset memory.
const unsigned char kPlaceholder[2 * 2 * 4] = {
    255, 0, 255, 255, 0, 0, 0, 255,
    0, 0, 0, 255, 255, 0, 255, 255,
};

}  // namespace

Texture::~Texture() { releasePixels(); }

Texture& Texture::load(const char* path) {
    uint16_t width = 0;
    uint16_t height = 0;
    if (endsWith(path, ".bmp")) {
        pixels_ = decodeBmp(path, width, height);
        format_ = GL_BGR;
        internalFormat_ = GL_RGB;
    } else if (endsWith(path, ".png")) {
        pixels_ = decodePng(path, width, height);
        format_ = GL_RGBA;
        internalFormat_ = GL_RGBA;
    } else {
        pixels_ = decodeBmpWithAlpha(path, width, height);
        format_ = GL_BGRA;
        internalFormat_ = GL_RGBA;
    }
    width_ = pixels_ ? width : 0;
    height_ = pixels_ ? height : 0;
#ifdef TAMQ_WEBGL
    // WebGL takes no BGR or BGRA uploads: the BMP bytes are turned around once, here.
    if (pixels_ && format_ != GL_RGBA) {
        swapRedAndBlue(pixels_.get(), width_, height_, format_ == GL_BGR ? 3 : 4);
        format_ = format_ == GL_BGR ? GL_RGB : GL_RGBA;
    }
#endif
    return *this;
}

void Texture::upload() {
    if (id_ == 0) {
        glGenTextures(1, &id_);
    }
    glBindTexture(GL_TEXTURE_2D, id_);
    const bool placeholder = pixels_ == nullptr;
    const GLint filter = placeholder ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    if (placeholder) {
        width_ = 2;
        height_ = 2;
        format_ = GL_RGBA;
        internalFormat_ = GL_RGBA;
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, kPlaceholder);
        return;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat_, width_, height_, 0, format_, GL_UNSIGNED_BYTE,
                 pixels_.get());
}

void Texture::releasePixels() { pixels_.reset(); }

void Texture::bind() const { glBindTexture(GL_TEXTURE_2D, id_); }

void Texture::setSmooth(bool smooth) {
    bind();
    const GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

void Texture::deleteTexture() {
    if (id_ != 0) {
        glDeleteTextures(1, &id_);
        id_ = 0;
    }
}
