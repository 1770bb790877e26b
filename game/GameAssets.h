#pragma once

#include "control/CameraRig.h"
#include "game/AssetFiles.h"
#include "render/Mesh.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"

#include <cstddef>

// What the game loads once at start-up and keeps for the whole process: the textures,
// meshes and shader programs that its drawables point into, and the camera rig.
// Loading walks the asset table, one kind after another.
class GameAssets {
public:
    static constexpr std::size_t kTextures = 8;
    static constexpr std::size_t kMeshes = 6;
    static constexpr std::size_t kShaders = 2;

    // False when a mesh cannot be loaded, since drawing it would be garbage; other faulty
    // files are reported by their loaders and played around.
    bool load();
    void releaseTextures();

    Texture& texture(TextureId id) { return textures_[static_cast<std::size_t>(id)]; }
    Mesh& mesh(MeshId id) { return meshes_[static_cast<std::size_t>(id)]; }
    // Car mesh 0 to 3: blue, yellow, red, green.
    Mesh& carMesh(int colour) {
        return meshes_[static_cast<std::size_t>(MeshId::CarBlue) + static_cast<std::size_t>(colour)];
    }
    ShaderProgram& shader(ShaderId id) { return shaders_[static_cast<std::size_t>(id)]; }
    const ShaderProgram& shader(ShaderId id) const { return shaders_[static_cast<std::size_t>(id)]; }
    CameraRig& cameraRig() { return cameraRig_; }

private:
    CameraRig cameraRig_;
    Texture textures_[kTextures];
    Mesh meshes_[kMeshes];
    ShaderProgram shaders_[kShaders];
};
