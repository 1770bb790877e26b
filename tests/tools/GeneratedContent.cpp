#include "GeneratedContent.h"

#include <stdexcept>

const std::vector<ContentFile>& GeneratedContent::files() {
    static const std::vector<ContentFile> generated = ContentFiles::generate();
    return generated;
}

const ContentFile& GeneratedContent::file(const std::string& path) {
    for (const ContentFile& file : files()) {
        if (file.path == path) {
            return file;
        }
    }
    throw std::runtime_error("no generated file " + path);
}

std::vector<std::string> GeneratedContent::assets(std::optional<AssetKind> onlyKind) {
    std::vector<std::string> paths;
    for (const AssetFile& file : kAssetFiles) {
        const bool generated = file.kind == AssetKind::Texture || file.kind == AssetKind::Mesh ||
                               file.kind == AssetKind::Collider;
        if (generated && (!onlyKind || file.kind == *onlyKind)) {
            paths.push_back(std::string(file.path).substr(std::string("data/").size()));
        }
    }
    return paths;
}

std::string GeneratedContent::inData(const std::string& path) {
    return std::string(TAMQ_SOURCE_DIR) + "/data/" + path;
}
