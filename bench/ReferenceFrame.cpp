#include "ReferenceFrame.h"

#include "render/GlEntryPoints.h"
#include "render/Mesh.h"

#include <vector>

namespace {

constexpr float kWidth = 1280.0f;
constexpr float kHeight = 720.0f;
// The road covers 26 of the world's 48 units across the screen.
constexpr float kRoadLeft = kWidth * (24.0f - 13.0f) / 48.0f;
constexpr float kRoadRight = kWidth * (24.0f + 13.0f) / 48.0f;
// A car is 2.4 × 4 units, 27 units spanning the screen's height.
constexpr float kQuadWidth = 2.4f * kWidth / 48.0f;
constexpr float kQuadHeight = 4.0f * kHeight / 27.0f;

struct Geometry {
    std::vector<float> positions;
    std::vector<float> colours;
    std::vector<float> uvs;
    std::vector<GLuint> indices;

    // A counter-clockwise quad, so back-face culling keeps it.
    void addQuad(float x0, float y0, float x1, float y1, float z, float u1, float v1) {
        const GLuint first = static_cast<GLuint>(positions.size() / 3);
        const float corners[4][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
        const float cornerUvs[4][2] = {{0.0f, 0.0f}, {u1, 0.0f}, {0.0f, v1}, {u1, v1}};
        for (int i = 0; i < 4; ++i) {
            positions.insert(positions.end(), {corners[i][0], corners[i][1], z});
            colours.insert(colours.end(), {1.0f, 1.0f, 1.0f});
            uvs.insert(uvs.end(), {cornerUvs[i][0], cornerUvs[i][1]});
        }
        indices.insert(indices.end(), {first, first + 1, first + 2, first + 2, first + 1, first + 3});
    }
};

const void* indexOffset(GLuint firstIndex) {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(firstIndex) * sizeof(GLuint));
}

const void* quadOffset(int quad) { return indexOffset(static_cast<GLuint>(quad) * 6); }

}  // namespace

ReferenceFrame::~ReferenceFrame() {
    if (buffers_[0] != 0) {
        gl.glDeleteBuffers(4, buffers_);
    }
}

void ReferenceFrame::init() {
    shader_.load("data/shaders/basic-fixed.vert", "data/shaders/basic-fixed.frag");
    shader_.compileAndLink();
    const GLuint program = shader_.program();
    finalMatrix_ = gl.glGetUniformLocation(program, "finalMatrix");
    texture0_ = gl.glGetUniformLocation(program, "texture0");
    inVertex_ = static_cast<GLuint>(gl.glGetAttribLocation(program, "inVertex"));
    inNormal_ = static_cast<GLuint>(gl.glGetAttribLocation(program, "inNormal"));
    inTexCoord_ = static_cast<GLuint>(gl.glGetAttribLocation(program, "inTexCoord"));

    for (auto [texture, path] : {std::pair{&grass_, "data/grass.bmp"},
                                 std::pair{&road_, "data/road6.png"},
                                 std::pair{&white_, "data/whitepixel.bmp"}}) {
        texture->load(path);
        texture->upload();
        texture->releasePixels();
    }

    // Quad 0 the grass, 1 the road, then the small quads, each at the origin and moved by
    // its own matrix as a moving object would be. Depths as the game's world camera gives them.
    Geometry geometry;
    geometry.addQuad(0.0f, 0.0f, kWidth, kHeight, -20.0f, 4.0f, 4.0f);
    geometry.addQuad(kRoadLeft, 0.0f, kRoadRight, kHeight, -12.0f, 1.0f, 3.0f);
    for (int i = 0; i < kSmallQuads; ++i) {
        geometry.addQuad(0.0f, 0.0f, kQuadWidth, kQuadHeight, -11.0f, 1.0f, 1.0f);
    }
    // One car mesh, scaled from its unit box to a car's size on screen.
    Mesh car;
    car.load("data/meshes/display/carBlue.json");
    const GLuint carFirstVertex = static_cast<GLuint>(geometry.positions.size() / 3);
    for (std::size_t i = 0; i + 2 < car.positions().size(); i += 3) {
        geometry.positions.insert(geometry.positions.end(),
                                  {car.positions()[i] * kQuadWidth,
                                   car.positions()[i + 1] * kQuadHeight, -11.0f});
    }
    geometry.colours.insert(geometry.colours.end(), car.colours().begin(), car.colours().end());
    geometry.uvs.insert(geometry.uvs.end(), car.uvs().begin(), car.uvs().end());
    carFirstIndex_ = static_cast<GLuint>(geometry.indices.size());
    for (uint32_t index : car.indices()) {
        geometry.indices.push_back(carFirstVertex + index);
    }
    carIndexCount_ = static_cast<GLsizei>(car.indices().size());
    gl.glGenBuffers(4, buffers_);
    auto fill = [](GLenum target, GLuint buffer, const auto& values) {
        gl.glBindBuffer(target, buffer);
        gl.glBufferData(target, static_cast<GLsizeiptr>(values.size() * sizeof(values[0])),
                        values.data(), GL_STATIC_DRAW);
    };
    fill(GL_ARRAY_BUFFER, buffers_[0], geometry.positions);
    fill(GL_ARRAY_BUFFER, buffers_[1], geometry.colours);
    fill(GL_ARRAY_BUFFER, buffers_[2], geometry.uvs);
    fill(GL_ELEMENT_ARRAY_BUFFER, buffers_[3], geometry.indices);

    setIdentity(projection_);
    orthographic(projection_, 0.0f, kWidth, 0.0f, kHeight, 1.0f, 1000.0f);
    // Spread over the screen in a 9 × 5 grid, as the cars and HUD pieces are.
    for (int i = 0; i < kSmallQuads; ++i) {
        Matrix4 place;
        setIdentity(place);
        translate(place, 20.0f + (i % 9) * 140.0f, 20.0f + (i / 9) * 140.0f, 0.0f);
        multiply(projection_, place, smallQuadMatrices_[i]);
    }
}

void ReferenceFrame::draw(Content content) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.glUseProgram(shader_.program());
    gl.glUniform1i(texture0_, 0);
    gl.glEnableVertexAttribArray(inVertex_);
    gl.glEnableVertexAttribArray(inNormal_);
    gl.glEnableVertexAttribArray(inTexCoord_);
    gl.glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    gl.glVertexAttribPointer(inVertex_, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glBindBuffer(GL_ARRAY_BUFFER, buffers_[1]);
    gl.glVertexAttribPointer(inNormal_, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glBindBuffer(GL_ARRAY_BUFFER, buffers_[2]);
    gl.glVertexAttribPointer(inTexCoord_, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[3]);

    gl.glUniformMatrix4fv(finalMatrix_, 1, GL_FALSE, projection_.data());
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, grass_.id());
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, quadOffset(0));
    glDepthMask(GL_TRUE);

    glBindTexture(GL_TEXTURE_2D, white_.id());
    for (int i = 0; i < kSmallQuads; ++i) {
        gl.glUniformMatrix4fv(finalMatrix_, 1, GL_FALSE, smallQuadMatrices_[i].data());
        if (content == Content::CarMeshes && i < kCars) {
            glDrawElements(GL_TRIANGLES, carIndexCount_, GL_UNSIGNED_INT, indexOffset(carFirstIndex_));
        } else {
            glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, quadOffset(2 + i));
        }
    }

    gl.glUniformMatrix4fv(finalMatrix_, 1, GL_FALSE, projection_.data());
    glBindTexture(GL_TEXTURE_2D, road_.id());
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, quadOffset(1));

    gl.glDisableVertexAttribArray(inTexCoord_);
    gl.glDisableVertexAttribArray(inNormal_);
    gl.glDisableVertexAttribArray(inVertex_);
}
