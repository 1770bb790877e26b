#pragma once

#include "game/AssetFiles.h"
#include "tools/content/ContentFiles.h"

#include <optional>
#include <string>
#include <vector>

// What the content tests check against: the generators' output, made once for every test
// of the process since the generators take about a second, and the committed copies in data/.
class GeneratedContent {
public:
    static const std::vector<ContentFile>& files();
    // One generated file by its path relative to data/; throws if the generators make none.
    static const ContentFile& file(const std::string& path);
    // The files of the asset table that the content generator makes (all, or those of one
    // kind), relative to data/.
    static std::vector<std::string> assets(std::optional<AssetKind> onlyKind = std::nullopt);
    // The committed copy of a file named relative to data/.
    static std::string inData(const std::string& path);
};
