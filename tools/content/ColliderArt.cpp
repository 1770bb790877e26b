#include "ColliderArt.h"

#include "MeshData.h"

#include <utility>
#include <vector>

std::string ColliderArt::quadCollider() {
    const std::vector<std::pair<float, float>> outline = {
        {0.16f, 0.02f}, {0.84f, 0.02f}, {0.94f, 0.08f}, {0.94f, 0.92f},
        {0.84f, 0.98f}, {0.16f, 0.98f}, {0.06f, 0.92f}, {0.06f, 0.08f}};
    std::string out = "{\"collider\": {\n  \"vertices\": [\n";
    for (std::size_t i = 0; i < outline.size(); ++i) {
        out += "    {\"x\": " + MeshData::number(outline[i].first) +
               ", \"y\": " + MeshData::number(outline[i].second) + "}" +
               (i + 1 < outline.size() ? ",\n" : "\n");
    }
    out += "  ],\n  \"indices\": [\n";
    for (std::size_t i = 0; i < outline.size(); ++i) {
        out += "    {\"a\": " + std::to_string(i) +
               ", \"b\": " + std::to_string((i + 1) % outline.size()) + "}" +
               (i + 1 < outline.size() ? ",\n" : "\n");
    }
    out += "  ],\n  \"circles\": []\n}}\n";
    return out;
}
