#include "CamPath.h"

#include <cmath>
#include <cstring>
#include <set>
#include <stdexcept>

namespace {

constexpr int kMaxRecords = 15;

// How one kind is written: its number in the file and the members that give its floats,
// in file order. A member ending in [3] is a list of three numbers.
struct KindLayout {
    const char* name;
    int32_t number;
    std::vector<const char*> members;
};

const std::vector<KindLayout> kPositionKeyframes = {
    {"hold", 0, {"point[3]"}},
    {"line", 1, {"point[3]"}},
    {"arc", 2, {"centre[3]", "angle", "axis[3]"}},
    {"curve", 3, {"point[3]"}},
    {"repeat", 4, {"target", "count"}},
};
const std::vector<KindLayout> kRollKeyframes = {
    {"step", 0, {"upZ", "degrees"}},
    {"ramp", 1, {"upZ", "degrees"}},
    {"repeat", 2, {"target", "count"}},
};
const std::vector<KindLayout> kPositionTiming = {
    {"constant", 0, {"time", "value"}},
    {"linear", 1, {"time", "value"}},
    {"cosine", 2, {"time", "value"}},
    {"cubic", 3, {"time", "value"}},
    {"repeat", 4, {"time", "target", "clock", "count"}},
};
// Roll timing records have room for two floats only, so their repeat has no clock or count.
const std::vector<KindLayout> kRollTiming = {
    {"constant", 0, {"time", "value"}},
    {"linear", 1, {"time", "value"}},
    {"repeat", 2, {"time", "target"}},
};

std::string kindNames(const std::vector<KindLayout>& layouts) {
    std::string names;
    for (const KindLayout& layout : layouts) {
        names += (names.empty() ? "\"" : ", \"") + std::string(layout.name) + "\"";
    }
    return names;
}

void readMember(const JsonValue& element, const std::string& member, std::vector<float>& values) {
    std::size_t bracket = member.find('[');
    if (bracket == std::string::npos) {
        values.push_back(JsonFile::number(element, member.c_str()));
        return;
    }
    std::string key = member.substr(0, bracket);
    auto found = element.find(key);
    if (found == element.end() || !found->is_array() || found->size() != 3) {
        throw std::runtime_error("\"" + key + "\" must be a list of three numbers");
    }
    JsonValue wrapper = JsonValue::object();
    for (const JsonValue& number : *found) {
        wrapper["n"] = number;
        float value = 0.0f;
        try {
            value = JsonFile::number(wrapper, "n");
        } catch (const std::runtime_error&) {
            throw std::runtime_error("\"" + key + "\" must be a list of three numbers");
        }
        values.push_back(value);
    }
}

CamPath::Record readRecord(const JsonValue& element, const std::vector<KindLayout>& layouts) {
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
        CamPath::Record record;
        record.kind = layout.number;
        std::set<std::string> known = {"kind"};
        for (const char* member : layout.members) {
            readMember(element, member, record.values);
            std::string name = member;
            known.insert(name.substr(0, name.find('[')));
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

CamPath::Track readTrack(const JsonValue& description, const char* name, bool isRoll) {
    auto found = description.find(name);
    if (found == description.end() || !found->is_object()) {
        throw std::runtime_error(std::string("missing the \"") + name + "\" track");
    }
    const JsonValue& track = *found;
    CamPath::Track result;
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
                    std::vector<CamPath::Record>& out, auto check) {
        int index = 0;
        for (const JsonValue& element : records) {
            try {
                out.push_back(readRecord(element, layouts));
                check(out.back(), static_cast<int>(records.size()));
            } catch (const std::runtime_error& error) {
                throw std::runtime_error(std::string(name) + " " + what + " " +
                                         std::to_string(index) + ": " + error.what());
            }
            ++index;
        }
    };
    int32_t repeatKind = isRoll ? 2 : 4;
    each(keyframes, "keyframe", isRoll ? kRollKeyframes : kPositionKeyframes, result.keyframes,
         [&](const CamPath::Record& record, int count) {
             if (record.kind == repeatKind) {
                 checkRepeat(record.values[0], count, "keyframe");
                 checkRepeatCount(record.values[1]);
             }
             if (!isRoll && record.kind == 2) {
                 // The rig turns about the axis as given, so it must be of unit length.
                 const float* axis = &record.values[4];
                 float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
                 if (std::fabs(length - 1.0f) > 1e-3f) {
                     throw std::runtime_error("\"axis\" must have length 1");
                 }
             }
         });
    each(timing, "timing record", isRoll ? kRollTiming : kPositionTiming, result.timing,
         [&](const CamPath::Record& record, int count) {
             if (record.kind == repeatKind) {
                 checkRepeat(record.values[1], count, "record");
                 if (!isRoll) {
                     checkRepeatCount(record.values[3]);
                 }
             }
         });
    return result;
}

void appendWord(std::vector<unsigned char>& out, uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(word >> shift));
    }
}

void appendInt(std::vector<unsigned char>& out, int32_t value) {
    appendWord(out, static_cast<uint32_t>(value));
}

void appendFloat(std::vector<unsigned char>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendWord(out, bits);
}

void appendRecords(std::vector<unsigned char>& out, const std::vector<CamPath::Record>& records) {
    for (const CamPath::Record& record : records) {
        appendInt(out, record.kind);
        for (float value : record.values) {
            appendFloat(out, value);
        }
    }
}

}  // namespace

CamPath CamPath::fromJson(const JsonValue& description) {
    if (!description.is_object()) {
        throw std::runtime_error("expected an object with \"eye\", \"target\" and \"roll\"");
    }
    CamPath path;
    path.eye = readTrack(description, "eye", false);
    path.target = readTrack(description, "target", false);
    path.roll = readTrack(description, "roll", true);
    return path;
}

CamPath CamPath::fromFile(const std::string& path) {
    JsonValue description = JsonFile::parse(path);
    try {
        return fromJson(description);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}

std::vector<unsigned char> CamPath::bytes() const {
    std::vector<unsigned char> out;
    const Track* tracks[3] = {&eye, &target, &roll};
    for (const Track* track : tracks) {
        appendInt(out, static_cast<int32_t>(track->keyframes.size()));
    }
    for (const Track* track : tracks) {
        appendInt(out, static_cast<int32_t>(track->timing.size()));
    }
    // Two reserved values per track, which the rig does not use.
    for (int i = 0; i < 6; ++i) {
        appendInt(out, 0);
    }
    for (const Track* track : tracks) {
        appendRecords(out, track->keyframes);
    }
    for (const Track* track : tracks) {
        appendRecords(out, track->timing);
    }
    return out;
}
