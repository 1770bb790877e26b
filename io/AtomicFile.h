#pragma once

#include <string>
#include <string_view>

// Replaces a file's content so that a crash or a power cut at any moment leaves either
// the old content or the new, never a mixture and never nothing: the new content goes to
// a temporary file beside it, is flushed to the disk, then renamed over the old file.
class AtomicFile {
public:
    // True when path now holds content. False with fault set (the system's reason) and the
    // old file untouched; the temporary file is removed again.
    static bool replace(const std::string& path, std::string_view content, std::string& fault);
    // The temporary file replace writes first: path with ".tmp" appended.
    static std::string temporaryPath(const std::string& path) { return path + ".tmp"; }
};
