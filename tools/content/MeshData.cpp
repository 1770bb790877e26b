#include "MeshData.h"

#include <cmath>
#include <cstdio>

uint32_t MeshData::addVertex(const Vertex& vertex) {
    vertices_.push_back(vertex);
    return static_cast<uint32_t>(vertices_.size() - 1);
}

void MeshData::addTriangle(uint32_t a, uint32_t b, uint32_t c) {
    const Vertex& va = vertices_[a];
    const Vertex& vb = vertices_[b];
    const Vertex& vc = vertices_[c];
    float area = (vb.x - va.x) * (vc.y - va.y) - (vc.x - va.x) * (vb.y - va.y);
    if (area < 0.0f) {
        std::swap(b, c);
    }
    indices_.push_back(a);
    indices_.push_back(b);
    indices_.push_back(c);
}

void MeshData::addConvex(const std::vector<std::pair<float, float>>& corners, Colour colour,
                         float u, float v) {
    uint32_t first = static_cast<uint32_t>(vertices_.size());
    for (auto [x, y] : corners) {
        addVertex(Vertex{x, y, 0.0f, u, v, colour});
    }
    for (uint32_t i = 1; i + 1 < corners.size(); ++i) {
        addTriangle(first, first + i, first + i + 1);
    }
}

void MeshData::addConvexShaded(const std::vector<std::pair<float, float>>& corners,
                               Colour centreColour, Colour edgeColour, float u, float v) {
    float cx = 0.0f;
    float cy = 0.0f;
    for (auto [x, y] : corners) {
        cx += x;
        cy += y;
    }
    cx /= static_cast<float>(corners.size());
    cy /= static_cast<float>(corners.size());
    uint32_t centre = addVertex(Vertex{cx, cy, 0.0f, u, v, centreColour});
    uint32_t first = static_cast<uint32_t>(vertices_.size());
    for (auto [x, y] : corners) {
        addVertex(Vertex{x, y, 0.0f, u, v, edgeColour});
    }
    uint32_t n = static_cast<uint32_t>(corners.size());
    for (uint32_t i = 0; i < n; ++i) {
        addTriangle(centre, first + i, first + (i + 1) % n);
    }
}

std::string MeshData::number(float value) {
    double rounded = std::round(static_cast<double>(value) * 10000.0) / 10000.0;
    if (rounded == 0.0) {
        return "0";  // never "-0"
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", rounded);
    std::string s = text;
    while (s.back() == '0') {
        s.pop_back();
    }
    if (s.back() == '.') {
        s.pop_back();
    }
    return s;
}

std::string MeshData::toJson() const {
    std::string out = "{\"model\": {\n  \"vertices\": [\n";
    auto separator = [](std::size_t i, std::size_t n) { return i + 1 < n ? ",\n" : "\n"; };
    for (std::size_t i = 0; i < vertices_.size(); ++i) {
        const Vertex& v = vertices_[i];
        out += "    {\"x\": " + number(v.x) + ", \"y\": " + number(v.y) + ", \"z\": " +
               number(v.z) + "}" + separator(i, vertices_.size());
    }
    out += "  ],\n  \"uvs\": [\n";
    for (std::size_t i = 0; i < vertices_.size(); ++i) {
        const Vertex& v = vertices_[i];
        out += "    {\"u\": " + number(v.u) + ", \"v\": " + number(v.v) + "}" +
               separator(i, vertices_.size());
    }
    out += "  ],\n  \"colors\": [\n";
    for (std::size_t i = 0; i < vertices_.size(); ++i) {
        const Colour& c = vertices_[i].colour;
        out += "    {\"r\": " + number(c.r) + ", \"g\": " + number(c.g) + ", \"b\": " +
               number(c.b) + "}" + separator(i, vertices_.size());
    }
    out += "  ],\n  \"indices\": [\n";
    std::size_t triangles = indices_.size() / 3;
    for (std::size_t t = 0; t < triangles; ++t) {
        out += "    {\"a\": " + std::to_string(indices_[3 * t]) +
               ", \"b\": " + std::to_string(indices_[3 * t + 1]) +
               ", \"c\": " + std::to_string(indices_[3 * t + 2]) + "}" + separator(t, triangles);
    }
    out += "  ]\n}}\n";
    return out;
}
