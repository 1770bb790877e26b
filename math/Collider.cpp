#include "Collider.h"

#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "io/JsonFile.h"

#include <cmath>
#include <stdexcept>

void Collider::clear() {
    circleX_.clear();
    circleY_.clear();
    circleRadius_.clear();
    vertexX_.clear();
    vertexY_.clear();
    edgeIndices_.clear();
}

void Collider::edgeEnds(uint32_t i, float ends[4]) const {
    int32_t a = edgeIndices_[2 * i];
    int32_t b = edgeIndices_[2 * i + 1];
    ends[0] = vertexX_[a];
    ends[1] = vertexY_[a];
    ends[2] = vertexX_[b];
    ends[3] = vertexY_[b];
}

namespace {

const JsonValue& requiredArray(const JsonValue& collider, const char* key) {
    auto found = collider.find(key);
    if (found == collider.end()) {
        throw std::runtime_error(std::string("\"collider\" has no \"") + key + "\"");
    }
    if (!found->is_array()) {
        throw std::runtime_error(std::string("\"collider\".\"") + key + "\" is not an array");
    }
    return *found;
}

// Runs read on each element, prefixing any fault with where it happened.
template <typename Read>
void readElements(const JsonValue& array, const char* key, Read read) {
    for (std::size_t i = 0; i < array.size(); ++i) {
        try {
            read(array[i], i);
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(std::string("\"") + key + "\" element " + std::to_string(i) +
                                     ": " + error.what());
        }
    }
}

}  // namespace

bool Collider::load(const std::string& path) {
    if (path.find(".json", 1) == std::string::npos) {
        return true;
    }
    std::string text;
    std::string fault;
    if (!FileReader::read(path, text, fault)) {
        clear();
        FaultReporter::report(path, fault);
        return false;
    }
    return loadText(text, path);
}

bool Collider::loadText(const std::string& text, const std::string& path) {
    clear();
    try {
        JsonValue root = JsonFile::parseText(text, path);
        if (!root.is_object()) {
            throw std::runtime_error(path + ": the root is not an object");
        }
        for (const auto& member : root.items()) {
            if (member.key() != "collider") {
                continue;
            }
            const JsonValue& collider = member.value();
            try {
                if (!collider.is_object()) {
                    throw std::runtime_error("\"collider\" is not an object");
                }
                const JsonValue& vertices = requiredArray(collider, "vertices");
                const JsonValue& indices = requiredArray(collider, "indices");
                const JsonValue& circles = requiredArray(collider, "circles");
                clear();
                readElements(vertices, "vertices", [&](const JsonValue& v, std::size_t) {
                    vertexX_.push_back(JsonFile::number(v, "x"));
                    vertexY_.push_back(JsonFile::number(v, "y"));
                });
                readElements(indices, "indices", [&](const JsonValue& e, std::size_t) {
                    for (const char* key : {"a", "b"}) {
                        float value = JsonFile::number(e, key);
                        double index = std::trunc(static_cast<double>(value));
                        if (index < 0.0 || index >= static_cast<double>(vertexX_.size())) {
                            throw std::runtime_error(std::string("\"") + key + "\" = " +
                                                     std::to_string(static_cast<long long>(index)) +
                                                     " is outside the " +
                                                     std::to_string(vertexX_.size()) + " vertices");
                        }
                        edgeIndices_.push_back(static_cast<int32_t>(index));
                    }
                });
                readElements(circles, "circles", [&](const JsonValue& c, std::size_t) {
                    circleX_.push_back(JsonFile::number(c, "x"));
                    circleY_.push_back(JsonFile::number(c, "y"));
                    const float radius = JsonFile::number(c, "radius");
                    // A negative radius would make a circle nothing can ever touch.
                    if (radius < 0.0f) {
                        throw std::runtime_error("\"radius\" = " + c.at("radius").dump() +
                                                 " is negative");
                    }
                    circleRadius_.push_back(radius);
                });
            } catch (const std::runtime_error& error) {
                throw std::runtime_error(path + ": " + error.what());
            }
        }
    } catch (const std::runtime_error& error) {
        clear();
        FaultReporter::report(error.what());
        return false;
    }
    return true;
}
