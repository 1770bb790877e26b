#include "sim/SimContent.h"

#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "io/Fnv1a.h"

#include <chrono>
#include <filesystem>

bool SimContent::load(const std::string& trafficPath, const std::string& colliderPath) {
    const bool collider = loadCollider(colliderPath);
    trafficPath_ = trafficPath;
    return reloadTraffic() && collider;
}

bool SimContent::loadCollider(const std::string& colliderPath) {
    colliderPath_ = colliderPath;
    std::string fault;
    if (!FileReader::read(colliderPath_, colliderBytes_, fault)) {
        collider_.clear();
        FaultReporter::report(colliderPath_, fault);
        return false;
    }
    return collider_.loadText(colliderBytes_, colliderPath_);
}

bool SimContent::reloadTraffic() {
    std::error_code error;
    const auto changed = std::filesystem::last_write_time(trafficPath_, error);
    const long long stamp = error ? 0 : static_cast<long long>(changed.time_since_epoch().count());
    const std::uintmax_t size = error ? 0 : std::filesystem::file_size(trafficPath_, error);
    // Same time and size, and that time well before the last read: the bytes read then.
    if (!error && stamp != 0 && trafficRead_ && stamp == trafficStamp_ && size == trafficSize_ &&
        changed + std::chrono::seconds(2) < trafficReadAt_) {
        return true;
    }
    std::string fault;
    trafficReadAt_ = std::filesystem::file_time_type::clock::now();
    trafficRead_ = FileReader::read(trafficPath_, trafficBytes_, fault);
    trafficStamp_ = trafficRead_ && !error ? stamp : 0;
    trafficSize_ = size;
    if (!trafficRead_) {
        FaultReporter::report(trafficPath_, fault);
    }
    return trafficRead_;
}

void SimContent::setTraffic(const std::string& bytes) {
    trafficBytes_ = bytes;
    trafficRead_ = true;
    trafficStamp_ = 0;
}

bool SimContent::setCollider(const std::string& bytes) {
    colliderBytes_ = bytes;
    return collider_.loadText(colliderBytes_, colliderPath_);
}

std::uint64_t SimContent::hash() const {
    Fnv1a hash;
    hash.addBytes(trafficBytes_);
    hash.addBytes(colliderBytes_);
    return hash.value();
}
