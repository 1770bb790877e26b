#include "ContentFiles.h"

#include "ColliderArt.h"
#include "IconArt.h"
#include "ImageFiles.h"
#include "MeshArt.h"
#include "SoundArt.h"
#include "TextureArt.h"
#include "TitleArt.h"

#include "vocab/ContentPaths.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

ContentFile text(const std::string& path, const std::string& content) {
    return ContentFile{path, std::vector<uint8_t>(content.begin(), content.end())};
}

}  // namespace

std::vector<ContentFile> ContentFiles::generate() {
    std::vector<ContentFile> files;
    files.push_back({"font.bmp.fnt", ImageFiles::encodeBmp(TextureArt::font())});
    files.push_back({"road6.png", ImageFiles::encodePng(TextureArt::road())});
    files.push_back({"paroi.bmp", ImageFiles::encodeBmp(TextureArt::wall())});
    files.push_back({"truck.bmp", ImageFiles::encodeBmp(TextureArt::truck())});
    files.push_back({"grass.bmp", ImageFiles::encodeBmp(TextureArt::grass())});
    files.push_back({"whitepixel.bmp", ImageFiles::encodeBmp(TextureArt::whitePixel())});
    files.push_back({"heart.png", ImageFiles::encodePng(TextureArt::heart())});
    files.push_back({"title.png", ImageFiles::encodePng(TitleArt::title())});
    files.push_back(text("quad.json", MeshArt::quad().toJson()));
    files.push_back(text("quadBackground.json", MeshArt::quadBackground().toJson()));
    files.push_back(text("meshes/display/carBlue.json", MeshArt::car(MeshArt::blue()).toJson()));
    files.push_back(
        text("meshes/display/carYellow.json", MeshArt::car(MeshArt::yellow()).toJson()));
    files.push_back(text("meshes/display/carRed.json", MeshArt::car(MeshArt::red()).toJson()));
    files.push_back(text("meshes/display/carGreen.json", MeshArt::car(MeshArt::green()).toJson()));
    files.push_back(text(ContentPaths::inData(ContentPaths::kCollider), ColliderArt::quadCollider()));
    // The application icon for desktop menus and the Windows installer; the game never reads it.
    std::vector<Canvas> icons;
    for (int size : {48, 128, 256}) {
        icons.push_back(IconArt::icon(size));
        files.push_back({"icons/tamq4pelrok-" + std::to_string(size) + ".png", ImageFiles::encodePng(icons.back())});
    }
    files.push_back({"icons/tamq4pelrok.ico", ImageFiles::encodeIco(icons)});
    for (const SoundArt::Named& sound : SoundArt::all()) {
        const std::string bytes = WavFile::encode(sound.sound);
        files.push_back({"sounds/" + sound.file, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
    return files;
}

void ContentFiles::writeAll(const std::vector<ContentFile>& files, const std::string& dataFolder) {
    for (const ContentFile& file : files) {
        std::filesystem::path path = std::filesystem::path(dataFolder) / file.path;
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            throw std::runtime_error(path.string() + ": cannot write the file");
        }
    }
}
