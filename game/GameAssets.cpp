#include "game/GameAssets.h"

#include "io/FaultReporter.h"

#include <stdexcept>

namespace {

template <class Visit>
void forEachFile(AssetKind kind, Visit&& visit) {
    for (const AssetFile& file : kAssetFiles) {
        if (file.kind == kind) {
            visit(file);
        }
    }
}

}  // namespace

bool GameAssets::load() {
    // Play never moves the camera along its path, so a faulty path file, which the rig
    // has already reported, does not stop the game.
    forEachFile(AssetKind::CameraPath, [this](const AssetFile& file) { cameraRig_.load(file.path); });

    // Every texture is decoded before any goes to the GPU.
    forEachFile(AssetKind::Texture, [this](const AssetFile& file) { textures_[file.id].load(file.path); });
    forEachFile(AssetKind::Texture, [this](const AssetFile& file) {
        textures_[file.id].upload();
        textures_[file.id].releasePixels();
    });
    forEachFile(AssetKind::Texture, [this](const AssetFile& file) {
        if (file.nearest) {
            textures_[file.id].setSmooth(false);
        }
    });

    try {
        forEachFile(AssetKind::Mesh, [this](const AssetFile& file) {
            meshes_[file.id].load(file.path);
            meshes_[file.id].upload();
        });
    } catch (const std::runtime_error& error) {
        FaultReporter::report(error.what());
        return false;
    }

    forEachFile(AssetKind::Shader, [this](const AssetFile& file) {
        shaders_[file.id].load(file.path, file.secondPath);
        shaders_[file.id].compileAndLink();
    });
    return true;
}

void GameAssets::releaseTextures() {
    for (Texture& texture : textures_) {
        texture.deleteTexture();
    }
}
