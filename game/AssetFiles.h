#pragma once

#include "vocab/ContentPaths.h"

// The game's assets by name. Each list below follows the asset table's order.
enum class TextureId { Font, Road, Wall, Truck, Grass, WhitePixel, Heart, Title };
// The four cars follow each other, blue, yellow, red, green: a car's colour number is its offset.
enum class MeshId { Quad, CarBlue, CarYellow, CarRed, CarGreen, Background };
enum class ShaderId { Basic, GameOver };

enum class AssetKind { CameraPath, Texture, Mesh, Collider, Traffic, Shader };

// One file the game reads. `id` is the TextureId, MeshId or ShaderId of the asset it
// makes; a shader program is two files, the vertex shader in `path`, the fragment shader
// in `secondPath`.
struct AssetFile {
    AssetKind kind;
    int id;
    const char* path;
    const char* secondPath = nullptr;
    // Textures drawn big from few pixels stay sharp: nearest filtering.
    bool nearest = false;
};

// Every file the game reads, all under data/, in the order init loads them. The traffic
// file is read by every start of a run instead.
inline constexpr AssetFile kAssetFiles[] = {
    {AssetKind::CameraPath, 0, "data/cam/camversion1"},
    {AssetKind::Texture, int(TextureId::Font), "data/font.bmp.fnt"},
    {AssetKind::Texture, int(TextureId::Road), "data/road6.png"},
    {AssetKind::Texture, int(TextureId::Wall), "data/paroi.bmp", nullptr, true},
    {AssetKind::Texture, int(TextureId::Truck), "data/truck.bmp"},
    {AssetKind::Texture, int(TextureId::Grass), "data/grass.bmp"},
    {AssetKind::Texture, int(TextureId::WhitePixel), "data/whitepixel.bmp"},
    {AssetKind::Texture, int(TextureId::Heart), "data/heart.png", nullptr, true},
    {AssetKind::Texture, int(TextureId::Title), "data/title.png", nullptr, true},
    {AssetKind::Mesh, int(MeshId::Quad), "data/quad.json"},
    {AssetKind::Mesh, int(MeshId::CarBlue), "data/meshes/display/carBlue.json"},
    {AssetKind::Mesh, int(MeshId::CarYellow), "data/meshes/display/carYellow.json"},
    {AssetKind::Mesh, int(MeshId::CarRed), "data/meshes/display/carRed.json"},
    {AssetKind::Mesh, int(MeshId::CarGreen), "data/meshes/display/carGreen.json"},
    {AssetKind::Mesh, int(MeshId::Background), "data/quadBackground.json"},
    {AssetKind::Collider, 0, ContentPaths::kCollider},
    {AssetKind::Traffic, 0, ContentPaths::kTraffic},
#ifdef TAMQ_WEBGL
    // WebGL 2 compiles GLSL ES 3.00: the same programs, written in that dialect.
    {AssetKind::Shader, int(ShaderId::Basic), "data/shaders/basic-es.vert", "data/shaders/basic-es.frag"},
    {AssetKind::Shader, int(ShaderId::GameOver), "data/shaders/gameover-es.vert", "data/shaders/gameover-es.frag"},
#else
    {AssetKind::Shader, int(ShaderId::Basic), "data/shaders/basic-fixed.vert", "data/shaders/basic-fixed.frag"},
    {AssetKind::Shader, int(ShaderId::GameOver), "data/shaders/gameover-fixed.vert",
     "data/shaders/gameover-fixed.frag"},
#endif
};

// The path of the first file of a kind: the camera path, the collider, the traffic file.
constexpr const char* assetPath(AssetKind kind) {
    for (const AssetFile& file : kAssetFiles) {
        if (file.kind == kind) {
            return file.path;
        }
    }
    return nullptr;
}

// Whether the files of a kind make each id from 0 to count - 1 exactly once: the enum and
// the table above agree.
constexpr bool eachIdOnce(AssetKind kind, int count) {
    int files = 0;
    for (const AssetFile& file : kAssetFiles) {
        files += file.kind == kind ? 1 : 0;
    }
    for (int id = 0; id < count; ++id) {
        int seen = 0;
        for (const AssetFile& file : kAssetFiles) {
            seen += file.kind == kind && file.id == id ? 1 : 0;
        }
        if (seen != 1) {
            return false;
        }
    }
    return files == count;
}
