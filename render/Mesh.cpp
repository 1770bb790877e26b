#include "Mesh.h"

#include "GlEntryPoints.h"
#include "MeshAnimation.h"
#include "ShaderLocations.h"

#include "io/ByteCursor.h"
#include "io/FileReader.h"
#include "io/JsonFile.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace {

// Resizes out to floatsPerElement per element and writes the named members in order.
void readFloats(const JsonValue& list, const char* listName, std::initializer_list<const char*> keys,
                std::vector<float>& out) {
    out.assign(JsonFile::listSize(list) * keys.size(), 0.0f);
    std::size_t at = 0;
    std::size_t element = 0;
    JsonFile::forEachListElement(list, [&](const JsonValue& value) {
        try {
            for (const char* key : keys) {
                out[at++] = JsonFile::number(value, key);
            }
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(std::string("\"") + listName + "\" element " +
                                     std::to_string(element) + ": " + error.what());
        }
        ++element;
    });
}

// A triangle corner: the number truncated toward zero, which must name an existing vertex.
uint32_t readIndex(const JsonValue& element, const char* key, std::size_t vertexCount) {
    const JsonValue& number = JsonFile::numberMember(element, key);
    const double index = std::trunc(number.get<double>());
    if (!(index >= 0.0 && index < static_cast<double>(vertexCount))) {
        throw std::runtime_error(std::string("\"") + key + "\" = " + number.dump() +
                                 " is not below the vertex count " + std::to_string(vertexCount));
    }
    return static_cast<uint32_t>(index);
}

// False at the first value that is not a finite number, as the JSON reader refuses those too.
bool readFloatBlock(ByteCursor& in, std::vector<float>& out) {
    for (float& value : out) {
        if (!in.readF32(value) || !std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

}  // namespace

Mesh::Mesh() = default;

Mesh::~Mesh() { releaseBuffers(); }

bool Mesh::load(const std::string& path) {
    if (path.find(".json", 1) != std::string::npos) {
        return loadJson(path);
    }
    return loadBloc(path);
}

bool Mesh::loadJson(const std::string& path) {
    const JsonValue root = JsonFile::parse(path);

    std::vector<float> positions;
    std::vector<float> colours;
    std::vector<uint32_t> indices;
    std::vector<float> uvs;
    std::unique_ptr<MeshAnimation> animation;
    bool haveModel = false;
    try {
        if (!root.is_object()) {
            throw std::runtime_error("the root is not an object");
        }
        for (const auto& member : root.items()) {
            if (member.key() == "model") {
                const JsonValue& model = member.value();
                if (!model.is_object()) {
                    throw std::runtime_error("\"model\" is not an object");
                }
                const JsonValue& vertices = JsonFile::member(model, "vertices", "model");
                const JsonValue& uvList = JsonFile::member(model, "uvs", "model");
                const JsonValue& colourList = JsonFile::member(model, "colors", "model");
                const JsonValue& indexList = JsonFile::member(model, "indices", "model");
                readFloats(vertices, "vertices", {"x", "y", "z"}, positions);
                readFloats(uvList, "uvs", {"u", "v"}, uvs);
                readFloats(colourList, "colors", {"r", "g", "b"}, colours);
                const std::size_t vertexCount = JsonFile::listSize(vertices);
                for (auto [list, name] :
                     {std::pair{&uvList, "uvs"}, std::pair{&colourList, "colors"}}) {
                    if (JsonFile::listSize(*list) != vertexCount) {
                        throw std::runtime_error("\"" + std::string(name) + "\" has " +
                                                 std::to_string(JsonFile::listSize(*list)) +
                                                 " entries but \"vertices\" has " +
                                                 std::to_string(vertexCount));
                    }
                }
                indices.assign(JsonFile::listSize(indexList) * 3, 0);
                std::size_t at = 0;
                std::size_t element = 0;
                JsonFile::forEachListElement(indexList, [&](const JsonValue& triangle) {
                    try {
                        for (const char* key : {"a", "b", "c"}) {
                            indices[at++] = readIndex(triangle, key, vertexCount);
                        }
                    } catch (const std::runtime_error& error) {
                        throw std::runtime_error("\"indices\" element " + std::to_string(element) +
                                                 ": " + error.what());
                    }
                    ++element;
                });
                haveModel = true;
            } else if (member.key() == "animations") {
                animation = std::make_unique<MeshAnimation>();
                try {
                    animation->loadAnimations(member.value());
                } catch (const std::runtime_error& error) {
                    throw std::runtime_error(std::string("\"animations\": ") + error.what());
                }
            }
        }
        if (!haveModel) {
            throw std::runtime_error("no \"model\" member");
        }
        // The animated draw uploads the sampled arrays in place of the mesh's own.
        const std::size_t vertexCount = positions.size() / 3;
        if (animation && animation->keyframeCount() > 0 &&
            static_cast<std::size_t>(animation->vertexCount()) != vertexCount) {
            throw std::runtime_error("the animation keyframes have " +
                                     std::to_string(animation->vertexCount()) +
                                     " vertices but the model has " + std::to_string(vertexCount));
        }
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }

    positions_ = std::move(positions);
    colours_ = std::move(colours);
    indices_ = std::move(indices);
    uvs_ = std::move(uvs);
    animation_ = std::move(animation);
    updateCounts();
    return true;
}

bool Mesh::loadBloc(const std::string& path) {
    const std::string bytes = FileReader::readOrThrow(path);
    ByteCursor in(bytes);
    uint32_t vertexCount = 0;
    uint32_t triangleCount = 0;
    if (!in.readU32(vertexCount) || !in.readU32(triangleCount)) {
        throw std::runtime_error(path + ": " + std::to_string(bytes.size()) +
                                 " bytes is too short for a mesh header");
    }
    // Checked against the real size before anything is allocated from the counts.
    const uint64_t needed = 8 + 32 * uint64_t{vertexCount} + 12 * uint64_t{triangleCount};
    if (needed > bytes.size()) {
        throw std::runtime_error(path + ": " + std::to_string(vertexCount) + " vertices and " +
                                 std::to_string(triangleCount) + " triangles need " +
                                 std::to_string(needed) + " bytes but the file has " +
                                 std::to_string(bytes.size()));
    }

    std::vector<float> positions(3 * std::size_t{vertexCount});
    std::vector<float> colours(3 * std::size_t{vertexCount});
    std::vector<float> uvs(2 * std::size_t{vertexCount});
    std::vector<uint32_t> indices(3 * std::size_t{triangleCount});
    for (auto [block, name] : {std::pair{&positions, "positions"}, std::pair{&colours, "colours"},
                               std::pair{&uvs, "texture coordinates"}}) {
        if (!readFloatBlock(in, *block)) {
            throw std::runtime_error(path + ": the " + std::string(name) +
                                     " hold a value that is not a finite number");
        }
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        in.readU32(indices[i]);
        if (indices[i] >= vertexCount) {
            throw std::runtime_error(path + ": triangle " + std::to_string(i / 3) + " names vertex " +
                                     std::to_string(indices[i]) + " of only " +
                                     std::to_string(vertexCount));
        }
    }
    // The optional two-byte marker only changes what is printed.
    std::cout << (bytes.size() - needed >= 2 ? "des anims!" : "pas d'anim") << '\n';

    positions_ = std::move(positions);
    colours_ = std::move(colours);
    uvs_ = std::move(uvs);
    indices_ = std::move(indices);
    animation_.reset();
    positionCount_ = 3 * vertexCount;
    colourCount_ = 3 * vertexCount;
    uvCount_ = 2 * vertexCount;
    indexCount_ = 3 * triangleCount;
    return true;
}

void Mesh::scalePositions(float sx, float sy, float sz) {
    for (std::size_t k = 0; k < positionCount_ && k + 2 < positions_.size(); k += 3) {
        positions_[k] *= sx;
        positions_[k + 1] *= sy;
        positions_[k + 2] *= sz;
    }
}

void Mesh::upload() {
    // A second upload replaces the buffers instead of leaking the first set.
    releaseBuffers();
    gl.glGenBuffers(4, staticBuffers_);
    fillStaticBuffers();
    if (animation_) {
        gl.glGenBuffers(3, animatedBuffers_);
        const std::pair<GLuint, const std::vector<float>*> initial[3] = {
            {animatedBuffers_[kAnimatedPosition], &positions_},
            {animatedBuffers_[kAnimatedColour], &colours_},
            {animatedBuffers_[kAnimatedUv], &uvs_}};
        const uint32_t counts[3] = {positionCount_, colourCount_, uvCount_};
        for (int i = 0; i < 3; ++i) {
            gl.glBindBuffer(GL_ARRAY_BUFFER, initial[i].first);
            gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(counts[i]) * 4,
                            initial[i].second->data(), GL_DYNAMIC_DRAW);
        }
    }
}

void Mesh::reupload() {
    if (staticBuffers_[kPosition] == 0) {
        return;
    }
    fillStaticBuffers();
}

void Mesh::fillStaticBuffers() {
    gl.glBindBuffer(GL_ARRAY_BUFFER, staticBuffers_[kPosition]);
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positionCount_) * 4, positions_.data(),
                    GL_STATIC_DRAW);
    gl.glBindBuffer(GL_ARRAY_BUFFER, staticBuffers_[kColour]);
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(colourCount_) * 4, colours_.data(),
                    GL_STATIC_DRAW);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, staticBuffers_[kIndex]);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount_) * 4,
                    indices_.data(), GL_STATIC_DRAW);
    gl.glBindBuffer(GL_ARRAY_BUFFER, staticBuffers_[kUv]);
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(uvCount_) * 4, uvs_.data(),
                    GL_STATIC_DRAW);
}

void Mesh::releaseBuffers() {
    if (staticBuffers_[kPosition] != 0) {
        gl.glDeleteBuffers(4, staticBuffers_);
        std::fill(std::begin(staticBuffers_), std::end(staticBuffers_), 0u);
    }
    if (animatedBuffers_[kAnimatedPosition] != 0) {
        gl.glDeleteBuffers(3, animatedBuffers_);
        std::fill(std::begin(animatedBuffers_), std::end(animatedBuffers_), 0u);
    }
}

void Mesh::updateCounts() {
    positionCount_ = static_cast<uint32_t>(positions_.size());
    colourCount_ = static_cast<uint32_t>(colours_.size());
    indexCount_ = static_cast<uint32_t>(indices_.size());
    uvCount_ = static_cast<uint32_t>(uvs_.size());
}

void Mesh::setCounts(uint32_t positionCount, uint32_t colourCount, uint32_t indexCount,
                     uint32_t uvCount) {
    positionCount_ = std::min(positionCount, static_cast<uint32_t>(positions_.size()));
    colourCount_ = std::min(colourCount, static_cast<uint32_t>(colours_.size()));
    indexCount_ = std::min(indexCount, static_cast<uint32_t>(indices_.size()));
    uvCount_ = std::min(uvCount, static_cast<uint32_t>(uvs_.size()));
}

void Mesh::clear() {
    positions_.clear();
    colours_.clear();
    indices_.clear();
    uvs_.clear();
    updateCounts();
}

void Mesh::appendPosition(float x, float y, float z) {
    positions_.push_back(x);
    positions_.push_back(y);
    positions_.push_back(z);
}

void Mesh::appendColour(float r, float g, float b) {
    colours_.push_back(r);
    colours_.push_back(g);
    colours_.push_back(b);
}

void Mesh::appendTriangle(uint32_t a, uint32_t b, uint32_t c) {
    indices_.push_back(a);
    indices_.push_back(b);
    indices_.push_back(c);
}

void Mesh::appendUv(float u, float v) {
    uvs_.push_back(u);
    uvs_.push_back(v);
}

void Mesh::setColour(uint32_t vertex, float r, float g, float b) {
    const std::size_t at = 3 * std::size_t{vertex};
    if (at + 2 < colours_.size()) {
        colours_[at] = r;
        colours_[at + 1] = g;
        colours_[at + 2] = b;
    }
}

void Mesh::setUv(uint32_t vertex, float u, float v) {
    const std::size_t at = 2 * std::size_t{vertex};
    if (at + 1 < uvs_.size()) {
        uvs_[at] = u;
        uvs_[at + 1] = v;
    }
}

void Mesh::draw(const Matrix4& finalMatrix) {
    drawWith(finalMatrix, staticBuffers_[kPosition], staticBuffers_[kColour], staticBuffers_[kUv]);
}

void Mesh::drawAnimated(const Matrix4& finalMatrix, uint32_t animation, float time) {
    if (!animation_ || animatedBuffers_[kAnimatedPosition] == 0) {
        draw(finalMatrix);
        return;
    }
    animation_->sample(animation, time);
    // Never send more than either side holds, should the mesh have been changed since loading.
    auto refresh = [](GLuint buffer, uint32_t count, const std::vector<float>& current) {
        const std::size_t floats = std::min<std::size_t>(count, current.size());
        gl.glBindBuffer(GL_ARRAY_BUFFER, buffer);
        gl.glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(floats) * 4, current.data());
    };
    refresh(animatedBuffers_[kAnimatedPosition], positionCount_, animation_->currentPositions());
    refresh(animatedBuffers_[kAnimatedColour], colourCount_, animation_->currentColours());
    refresh(animatedBuffers_[kAnimatedUv], uvCount_, animation_->currentUvs());
    drawWith(finalMatrix, animatedBuffers_[kAnimatedPosition], animatedBuffers_[kAnimatedColour],
             animatedBuffers_[kAnimatedUv]);
}

void Mesh::drawWith(const Matrix4& finalMatrix, GLuint positions, GLuint colours, GLuint uvs) {
    // With no buffer bound the attribute pointers would be read as client memory at address 0.
    if (positions == 0) {
        return;
    }
    const GLuint inVertex = static_cast<GLuint>(shaderLocations.inVertex);
    const GLuint inNormal = static_cast<GLuint>(shaderLocations.inNormal);
    const GLuint inTexCoord = static_cast<GLuint>(shaderLocations.inTexCoord);
    gl.glUniformMatrix4fv(shaderLocations.finalMatrix, 1, GL_FALSE, finalMatrix.data());
    gl.glUniform1i(shaderLocations.texture0, 0);
    gl.glEnableVertexAttribArray(inVertex);
    gl.glEnableVertexAttribArray(inNormal);
    gl.glEnableVertexAttribArray(inTexCoord);
    gl.glBindBuffer(GL_ARRAY_BUFFER, positions);
    gl.glVertexAttribPointer(inVertex, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glBindBuffer(GL_ARRAY_BUFFER, colours);
    gl.glVertexAttribPointer(inNormal, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glBindBuffer(GL_ARRAY_BUFFER, uvs);
    gl.glVertexAttribPointer(inTexCoord, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, staticBuffers_[kIndex]);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount_), GL_UNSIGNED_INT, nullptr);
    gl.glDisableVertexAttribArray(inTexCoord);
    gl.glDisableVertexAttribArray(inNormal);
    gl.glDisableVertexAttribArray(inVertex);
}
