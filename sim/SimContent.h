#pragma once

#include "math/Collider.h"
#include "vocab/ContentPaths.h"

#include <cstdint>
#include <filesystem>
#include <string>

// What the rules read from the content folder: the traffic file, kept as its bytes and
// parsed at every start of a run, and the quad collider that the bar and every car carry.
// Its hash tells whether a run was played on the same content.
class SimContent {
public:
    static constexpr const char* kTrafficPath = ContentPaths::kTraffic;
    static constexpr const char* kColliderPath = ContentPaths::kCollider;

    // Reads both files; faults are reported in one line each and leave that file empty
    // (no traffic, nothing collides). False when either could not be used.
    bool load(const std::string& trafficPath = kTrafficPath, const std::string& colliderPath = kColliderPath);
    bool loadCollider(const std::string& colliderPath);
    // Reads the traffic file again from the path last given, when it changed since the last
    // read (its time of change or its size): a start of a run costs a look at the file, not
    // a read of it.
    bool reloadTraffic();
    void setTrafficPath(const std::string& path) { trafficPath_ = path; }
    // Content from memory, for tools and tests; the paths only name the files in reports.
    void setTraffic(const std::string& bytes);
    bool setCollider(const std::string& bytes);

    // FNV-1a 64 over the traffic bytes, then the collider bytes.
    std::uint64_t hash() const;

    const std::string& trafficPath() const { return trafficPath_; }
    const std::string& trafficBytes() const { return trafficBytes_; }
    // False when the last read of the traffic file failed: it then changes no list.
    bool trafficRead() const { return trafficRead_; }
    const Collider& collider() const { return collider_; }

private:
    std::string trafficPath_ = kTrafficPath;
    std::string colliderPath_ = kColliderPath;
    std::string trafficBytes_;
    bool trafficRead_ = false;
    // What the file looked like when it was last read; stamp 0 for none.
    long long trafficStamp_ = 0;
    std::uintmax_t trafficSize_ = 0;
    // When the file was last read, on the file system's clock: a file changed within a
    // tick of its clock before that (a second on Windows) may have changed again unseen.
    std::filesystem::file_time_type trafficReadAt_{};
    std::string colliderBytes_;
    Collider collider_;
};
