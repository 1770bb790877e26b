#pragma once

#include "Canvas.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A mesh being built for a JSON mesh file: vertices with colour and texture coordinate,
// and triangles that are always stored counter-clockwise, so they survive back-face culling.
class MeshData {
public:
    struct Vertex {
        float x = 0.0f;
        float y = 0.0f;
        float z = 0.0f;
        float u = 0.0f;
        float v = 0.0f;
        Colour colour;
    };

    uint32_t addVertex(const Vertex& vertex);
    // Adds the triangle, swapping two corners if needed to make it counter-clockwise.
    void addTriangle(uint32_t a, uint32_t b, uint32_t c);
    // A convex polygon in one flat colour, as a fan; uv is given to every corner.
    void addConvex(const std::vector<std::pair<float, float>>& corners, Colour colour,
                   float u = 0.5f, float v = 0.5f);
    // A convex polygon shaded from centreColour at its centroid to edgeColour at its corners.
    void addConvexShaded(const std::vector<std::pair<float, float>>& corners, Colour centreColour,
                         Colour edgeColour, float u = 0.5f, float v = 0.5f);

    const std::vector<Vertex>& vertices() const { return vertices_; }
    const std::vector<uint32_t>& indices() const { return indices_; }

    // The JSON mesh file: {"model": {"vertices", "uvs", "colors", "indices"}}.
    std::string toJson() const;

    // Shortest fixed-point text for value rounded to 4 decimals ("0.5", "1", "-0.125").
    static std::string number(float value);

private:
    std::vector<Vertex> vertices_;
    std::vector<uint32_t> indices_;
};
