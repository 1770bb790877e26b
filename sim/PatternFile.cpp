#include "sim/PatternFile.h"

#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "io/JsonFile.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Reads one car object; reports and returns false for a car the game cannot use.
bool readCar(const std::string& path, const std::string& where, const JsonValue& car,
             CarSpawn& spawn) {
    try {
        spawn.x = JsonFile::number(car, "x");
        spawn.speed = JsonFile::number(car, "speed");
        spawn.time = JsonFile::number(car, "time");
        // A car that does not move down never leaves the road and holds its slot for good.
        if (!(spawn.speed > 0.0f)) {
            throw std::runtime_error("\"speed\" = " + car.at("speed").dump() + " is not above 0");
        }
        return true;
    } catch (const std::runtime_error& error) {
        FaultReporter::report(path, where + ": " + error.what() + ", car skipped");
        return false;
    }
}

bool isArray(const std::string& path, const std::string& where, const JsonValue& value) {
    if (value.is_array()) {
        return true;
    }
    FaultReporter::report(path, where + " is not an array, ignored");
    return false;
}

}  // namespace

void PatternFile::load(const std::string& path, float startClock, std::vector<CarSpawn>& queue,
                       std::vector<CarPattern>& patterns) {
    std::string text;
    std::string fault;
    if (!FileReader::read(path, text, fault)) {
        FaultReporter::report(path, fault);
        return;
    }
    loadText(text, path, startClock, queue, patterns);
}

void PatternFile::loadText(const std::string& text, const std::string& path, float startClock,
                           std::vector<CarSpawn>& queue, std::vector<CarPattern>& patterns) {
    JsonValue root;
    try {
        root = JsonFile::parseText(text, path);
    } catch (const std::runtime_error& error) {
        FaultReporter::report(error.what());
        return;
    }
    if (!root.is_object()) {
        FaultReporter::report(path, "the root is not an object");
        return;
    }

    for (const auto& member : root.items()) {
        const JsonValue& value = member.value();
        if (member.key() == "cars") {
            if (!isArray(path, "\"cars\"", value)) {
                continue;
            }
            queue.clear();
            for (std::size_t i = 0; i < value.size(); ++i) {
                CarSpawn spawn;
                if (readCar(path, "\"cars\" element " + std::to_string(i), value[i], spawn) &&
                    !(spawn.time < startClock)) {
                    queue.push_back(spawn);
                }
            }
        } else if (member.key() == "patterns") {
            if (!isArray(path, "\"patterns\"", value)) {
                continue;
            }
            patterns.assign(value.size(), CarPattern());
            for (std::size_t j = 0; j < value.size(); ++j) {
                std::string where = "\"patterns\" element " + std::to_string(j);
                if (!isArray(path, where, value[j])) {
                    continue;
                }
                for (std::size_t i = 0; i < value[j].size(); ++i) {
                    CarSpawn spawn;
                    if (readCar(path, where + " car " + std::to_string(i), value[j][i], spawn)) {
                        patterns[j].push_back(spawn);
                    }
                }
            }
        }
    }
    // The game plays on, but once the scripted cars have run out nothing more comes down
    // the road: say so at every load rather than leave the author guessing.
    const bool poolHasCars = std::any_of(patterns.begin(), patterns.end(),
                                         [](const CarPattern& pattern) { return !pattern.empty(); });
    if (!poolHasCars) {
        FaultReporter::report(path, "no car in \"patterns\": once the scripted cars run out, "
                                    "the road stays empty");
    }
}
