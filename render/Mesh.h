#pragma once

#include "math/Matrix4.h"

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MeshAnimation;

// An indexed triangle list with position, colour and texture coordinate per vertex, kept
// both in CPU arrays and in one GL buffer per attribute. Read from a JSON or ".bloc" file,
// or built in code (text glyphs, the road strip). The caller supplies the whole transform
// at every draw and binds the texture.
class Mesh {
public:
    Mesh();
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // ".json" anywhere after the first character picks the JSON reader, anything else the
    // ".bloc" reader. A missing, unreadable or faulty file throws std::runtime_error whose
    // message starts with the path; the mesh is then left as it was.
    bool load(const std::string& path);
    bool loadJson(const std::string& path);
    bool loadBloc(const std::string& path);

    void scalePositions(float sx, float sy, float sz);

    // Creates the GL buffers and fills them from the first `count` values of each array.
    void upload();
    // Refills the four static buffers, for meshes changed after upload.
    void reupload();
    // Deletes the buffers that exist and forgets their names; calling it again does nothing.
    void releaseBuffers();

    // Makes every count equal to the length of its array.
    void updateCounts();
    // Limits what is uploaded and drawn to a prefix of each array (never past its end).
    void setCounts(uint32_t positionCount, uint32_t colourCount, uint32_t indexCount,
                   uint32_t uvCount);
    // Empties the CPU arrays and the counts; the GL buffers stay until released.
    void clear();

    void appendPosition(float x, float y, float z);
    void appendColour(float r, float g, float b);
    void appendTriangle(uint32_t a, uint32_t b, uint32_t c);
    void appendUv(float u, float v);
    // Overwrite one vertex's values; a vertex past the arrays is ignored.
    void setColour(uint32_t vertex, float r, float g, float b);
    void setUv(uint32_t vertex, float u, float v);

    // Draws with the static buffers; `finalMatrix` takes mesh coordinates to clip space.
    void draw(const Matrix4& finalMatrix);
    // Samples the animation at `time` and draws the result; a mesh without an animation
    // draws as with draw().
    void drawAnimated(const Matrix4& finalMatrix, uint32_t animation, float time);

    uint32_t positionCount() const { return positionCount_; }
    uint32_t colourCount() const { return colourCount_; }
    uint32_t indexCount() const { return indexCount_; }
    uint32_t uvCount() const { return uvCount_; }

    const std::vector<float>& positions() const { return positions_; }
    const std::vector<float>& colours() const { return colours_; }
    const std::vector<uint32_t>& indices() const { return indices_; }
    const std::vector<float>& uvs() const { return uvs_; }

    MeshAnimation* animation() { return animation_.get(); }
    const MeshAnimation* animation() const { return animation_.get(); }

    GLuint positionBuffer() const { return staticBuffers_[kPosition]; }
    GLuint colourBuffer() const { return staticBuffers_[kColour]; }
    GLuint indexBuffer() const { return staticBuffers_[kIndex]; }
    GLuint uvBuffer() const { return staticBuffers_[kUv]; }
    GLuint animatedPositionBuffer() const { return animatedBuffers_[kAnimatedPosition]; }
    GLuint animatedColourBuffer() const { return animatedBuffers_[kAnimatedColour]; }
    GLuint animatedUvBuffer() const { return animatedBuffers_[kAnimatedUv]; }

private:
    // Slots of the two name arrays, each created by one glGenBuffers call.
    enum StaticSlot { kPosition = 0, kColour = 1, kIndex = 2, kUv = 3 };
    enum AnimatedSlot { kAnimatedPosition = 0, kAnimatedColour = 1, kAnimatedUv = 2 };

    void fillStaticBuffers();
    void drawWith(const Matrix4& finalMatrix, GLuint positions, GLuint colours, GLuint uvs);

    uint32_t positionCount_ = 0;
    uint32_t colourCount_ = 0;
    uint32_t indexCount_ = 0;
    uint32_t uvCount_ = 0;
    // Zero until upload: glDeleteBuffers ignores 0, and 0 also marks "nothing to draw".
    GLuint staticBuffers_[4] = {0, 0, 0, 0};
    GLuint animatedBuffers_[3] = {0, 0, 0};
    std::vector<float> positions_;
    std::vector<float> colours_;
    std::vector<uint32_t> indices_;
    std::vector<float> uvs_;
    std::unique_ptr<MeshAnimation> animation_;
};
