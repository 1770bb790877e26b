#pragma once

#include "math/Camera.h"
#include "math/SplinePath.h"

#include <vector>

class Mesh;
class Texture;

// The road the truck drives on: the spline centre line with a left and a right half-width
// per control point, turned once into a textured triangle strip and drawn every frame
// through the world camera. The strip is shared by every road of the program.
class Road : public SplinePath {
public:
    // The game's straight road: x = 50, z = -2, y from 0 to 1000, 13 units to either side.
    // Makes the next draw build the strip afresh.
    Road();
    // Releases the strip's GL buffers, so that nothing is left to delete once the context is gone.
    ~Road();
    Road(const Road&) = delete;
    Road& operator=(const Road&) = delete;

    // Builds and uploads the strip on the first call (keeping this texture and camera),
    // then draws it through the camera's current model-view.
    void draw(Camera& camera, const Texture& texture);

    const std::vector<float>& leftWidths() const { return leftWidths_; }
    const std::vector<float>& rightWidths() const { return rightWidths_; }

    // The shared strip and whether it has been built, for inspection.
    static const Mesh& stripMesh();
    static bool stripBuilt();

private:
    void buildStrip(Mesh& mesh) const;

    std::vector<float> leftWidths_;
    std::vector<float> rightWidths_;
};
