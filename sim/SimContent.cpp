#include "sim/SimContent.h"

#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "io/Fnv1a.h"

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
    std::string fault;
    trafficRead_ = FileReader::read(trafficPath_, trafficBytes_, fault);
    if (!trafficRead_) {
        FaultReporter::report(trafficPath_, fault);
    }
    return trafficRead_;
}

void SimContent::setTraffic(const std::string& bytes) {
    trafficBytes_ = bytes;
    trafficRead_ = true;
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
