// Writes every generated image, mesh, font and collider file into a data folder:
// the project's data/ by default, or the folder given as the only argument.
#include "tools/content/ContentFiles.h"

#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc > 2) {
        std::cerr << "usage: contentgen [data folder]" << std::endl;
        return 2;
    }
    const std::string folder = argc == 2 ? argv[1] : TAMQ_DEFAULT_DATA_DIR;
    try {
        std::vector<ContentFile> files = ContentFiles::generate();
        ContentFiles::writeAll(files, folder);
        for (const ContentFile& file : files) {
            std::cout << folder << "/" << file.path << " (" << file.bytes.size() << " bytes)\n";
        }
    } catch (const std::runtime_error& error) {
        std::cerr << "contentgen: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
