#include "CamPath.h"

#include <cmath>
#include <set>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace {

constexpr int kMaxRecords = CameraPathFile::kMaxRecords;

// How one kind is described: its number in the file and the members it has. A member
// ending in [3] is a list of three numbers.
struct KindLayout {
    const char* name;
    int32_t number;
    std::vector<const char*> members;
};

const std::vector<KindLayout> kPositionKeyframes = {
    {"hold", CameraPathFile::kHold, {"point[3]"}},
    {"line", CameraPathFile::kLine, {"point[3]"}},
    {"arc", CameraPathFile::kArc, {"centre[3]", "angle", "axis[3]"}},
    {"curve", CameraPathFile::kCurve, {"point[3]"}},
    {"repeat", CameraPathFile::kRepeat, {"target", "count"}},
};
const std::vector<KindLayout> kRollKeyframes = {
    {"step", CameraPathFile::kRollStep, {"upZ", "degrees"}},
    {"ramp", CameraPathFile::kRollRamp, {"upZ", "degrees"}},
    {"repeat", CameraPathFile::kRollRepeat, {"target", "count"}},
};
const std::vector<KindLayout> kPositionTiming = {
    {"constant", CameraPathFile::kConstant, {"time", "value"}},
    {"linear", CameraPathFile::kLinear, {"time", "value"}},
    {"cosine", CameraPathFile::kCosine, {"time", "value"}},
    {"cubic", CameraPathFile::kCubic, {"time", "value"}},
    {"repeat", CameraPathFile::kTimingRepeat, {"time", "target", "clock", "count"}},
};
// Roll timing records have room for two floats only, so their repeat has no clock or count.
const std::vector<KindLayout> kRollTiming = {
    {"constant", CameraPathFile::kRollConstant, {"time", "value"}},
    {"linear", CameraPathFile::kRollLinear, {"time", "value"}},
    {"repeat", CameraPathFile::kRollTimingRepeat, {"time", "target"}},
};

std::string kindNames(const std::vector<KindLayout>& layouts) {
    std::string names;
    for (const KindLayout& layout : layouts) {
        names += (names.empty() ? "\"" : ", \"") + std::string(layout.name) + "\"";
    }
    return names;
}

// Reads one member's numbers: one, or three for a member written "name[3]".
std::vector<float> readMember(const JsonValue& element, const std::string& member) {
    std::size_t bracket = member.find('[');
    if (bracket == std::string::npos) {
        return {JsonFile::number(element, member.c_str())};
    }
    std::string key = member.substr(0, bracket);
    auto found = element.find(key);
    if (found == element.end() || !found->is_array() || found->size() != 3) {
        throw std::runtime_error("\"" + key + "\" must be a list of three numbers");
    }
    std::vector<float> values;
    for (const JsonValue& number : *found) {
        if (!number.is_number() || !std::isfinite(number.get<float>())) {
            throw std::runtime_error("\"" + key + "\" must be a list of three numbers");
        }
        values.push_back(number.get<float>());
    }
    return values;
}

Vec3 point(const std::vector<float>& v) { return Vec3(v[0], v[1], v[2]); }

// Puts a member's numbers where the record keeps them; the names are the records' own.
void setMember(CameraKeyframe& k, const std::string& name, const std::vector<float>& v) {
    if (name == "point") k.point = point(v);
    else if (name == "centre") k.centre = point(v);
    else if (name == "angle") k.angle = v[0];
    else if (name == "axis") k.axis = point(v);
    else if (name == "target") k.target = v[0];
    else if (name == "count") k.count = v[0];
    else if (name == "upZ") k.upZ = v[0];
    else if (name == "degrees") k.degrees = v[0];
}

void setMember(CameraTiming& t, const std::string& name, const std::vector<float>& v) {
    if (name == "time") t.time = v[0];
    else if (name == "value") t.value = v[0];
    else if (name == "target") t.target = v[0];
    else if (name == "clock") t.clock = v[0];
    else if (name == "count") t.count = v[0];
}

template <typename Record>
Record readRecord(const JsonValue& element, const std::vector<KindLayout>& layouts) {
    if (!element.is_object()) {
        throw std::runtime_error("expected an object");
    }
    auto kind = element.find("kind");
    if (kind == element.end() || !kind->is_string()) {
        throw std::runtime_error("\"kind\" must be one of " + kindNames(layouts));
    }
    for (const KindLayout& layout : layouts) {
        if (kind->get<std::string>() != layout.name) {
            continue;
        }
        Record record;
        record.kind = layout.number;
        std::set<std::string> known = {"kind"};
        for (const char* member : layout.members) {
            std::string name = member;
            name = name.substr(0, name.find('['));
            setMember(record, name, readMember(element, member));
            known.insert(name);
        }
        // A misspelt member would otherwise be dropped without a word.
        for (const auto& [key, value] : element.items()) {
            if (!known.count(key)) {
                throw std::runtime_error("\"" + key + "\" has no meaning for a \"" + layout.name +
                                         "\"");
            }
        }
        return record;
    }
    throw std::runtime_error("\"kind\" must be one of " + kindNames(layouts));
}

void checkRepeat(float target, int count, const char* what) {
    if (target != std::trunc(target) || target < 1.0f || target >= static_cast<float>(count)) {
        throw std::runtime_error(std::string("the repeat target must be a whole ") + what +
                                 " number from 1 to " + std::to_string(count - 1));
    }
}

void checkRepeatCount(float count) {
    if (count != std::trunc(count) || (count < 1.0f && count != -1.0f)) {
        throw std::runtime_error("the repeat count must be -1 (forever) or a whole number from 1");
    }
}

void readTrack(const JsonValue& description, CameraPathFile::TrackId id, CameraPathFile::Track& result) {
    using F = CameraPathFile;
    const char* name = F::kTrackNames[id];
    const bool isRoll = id == F::kRoll;
    auto found = description.find(name);
    if (found == description.end() || !found->is_object()) {
        throw std::runtime_error(std::string("missing the \"") + name + "\" track");
    }
    const JsonValue& track = *found;
    auto list = [&](const char* key) -> const JsonValue& {
        auto member = track.find(key);
        if (member == track.end() || !member->is_array()) {
            throw std::runtime_error(std::string(name) + " track: \"" + key + "\" must be a list");
        }
        if (member->size() > kMaxRecords) {
            throw std::runtime_error(std::string(name) + " track: \"" + key + "\" has " +
                                     std::to_string(member->size()) + " entries, at most " +
                                     std::to_string(kMaxRecords) + " fit");
        }
        return *member;
    };
    const JsonValue& keyframes = list("keyframes");
    const JsonValue& timing = list("timing");
    if (!isRoll && keyframes.size() < 2) {
        throw std::runtime_error(std::string(name) +
                                 " track: needs at least 2 keyframes (keyframe 0 is not played)");
    }

    auto each = [&](const JsonValue& records, const char* what, const std::vector<KindLayout>& layouts,
                    auto* out, int32_t& count, auto check) {
        for (const JsonValue& element : records) {
            try {
                auto& record = out[count];
                record = readRecord<std::remove_reference_t<decltype(record)>>(element, layouts);
                check(record, static_cast<int>(records.size()));
            } catch (const std::runtime_error& error) {
                throw std::runtime_error(std::string(name) + " " + what + " " +
                                         std::to_string(count) + ": " + error.what());
            }
            ++count;
        }
    };
    each(keyframes, "keyframe", isRoll ? kRollKeyframes : kPositionKeyframes, result.keyframes,
         result.keyframeCount, [&](const CameraKeyframe& record, int count) {
             if (record.kind == (isRoll ? F::kRollRepeat : F::kRepeat)) {
                 checkRepeat(record.target, count, "keyframe");
                 checkRepeatCount(record.count);
             }
             if (!isRoll && record.kind == F::kArc) {
                 // The rig turns about the axis as given, so it must be of unit length.
                 const Vec3& axis = record.axis;
                 if (std::fabs(std::sqrt(axis.dot(axis)) - 1.0f) > 1e-3f) {
                     throw std::runtime_error("\"axis\" must have length 1");
                 }
             }
         });
    each(timing, "timing record", isRoll ? kRollTiming : kPositionTiming, result.timing,
         result.timingCount, [&](const CameraTiming& record, int count) {
             if (record.kind == (isRoll ? F::kRollTimingRepeat : F::kTimingRepeat)) {
                 checkRepeat(record.target, count, "record");
                 if (!isRoll) {
                     checkRepeatCount(record.count);
                 }
             }
         });
}

}  // namespace

CameraPathFile CamPath::fromJson(const JsonValue& description) {
    if (!description.is_object()) {
        throw std::runtime_error("expected an object with \"eye\", \"target\" and \"roll\"");
    }
    CameraPathFile file;
    for (CameraPathFile::TrackId id : {CameraPathFile::kEye, CameraPathFile::kTarget, CameraPathFile::kRoll}) {
        readTrack(description, id, file.tracks[id]);
    }
    return file;
}

CameraPathFile CamPath::fromFile(const std::string& path) {
    JsonValue description = JsonFile::parse(path);
    try {
        return fromJson(description);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}
