#include "CameraPathFile.h"

#include "io/ByteCursor.h"
#include "io/ByteWriter.h"
#include "io/FaultReporter.h"
#include "io/FileReader.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int kHeaderInts = 12;
constexpr int kMaxFloats = 7;

std::string format(const char* pattern, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

// The layout of every kind, in one place: the members a record's floats fill, in file
// order. A kind outside the tables has no floats.
int keyframeSlots(CameraPathFile::TrackId track, CameraKeyframe& k, float* slots[kMaxFloats]) {
    using F = CameraPathFile;
    const bool roll = track == F::kRoll;
    if ((roll && k.kind == F::kRollRepeat) || (!roll && k.kind == F::kRepeat)) {
        slots[0] = &k.target;
        slots[1] = &k.count;
        return 2;
    }
    if (roll) {
        if (k.kind != F::kRollStep && k.kind != F::kRollRamp) {
            return 0;
        }
        slots[0] = &k.upZ;
        slots[1] = &k.degrees;
        return 2;
    }
    if (k.kind == F::kArc) {
        float* arc[kMaxFloats] = {&k.centre.x, &k.centre.y, &k.centre.z, &k.angle,
                                  &k.axis.x,   &k.axis.y,   &k.axis.z};
        std::copy(arc, arc + kMaxFloats, slots);
        return kMaxFloats;
    }
    if (k.kind == F::kHold || k.kind == F::kLine || k.kind == F::kCurve) {
        slots[0] = &k.point.x;
        slots[1] = &k.point.y;
        slots[2] = &k.point.z;
        return 3;
    }
    return 0;
}

// Roll timing records always have room for two floats, so their repeat carries no clock or count.
int timingSlots(CameraPathFile::TrackId track, CameraTiming& t, float* slots[kMaxFloats]) {
    using F = CameraPathFile;
    const bool roll = track == F::kRoll;
    if (t.kind < 0 || t.kind >= F::timingKindCount(track)) {
        return 0;
    }
    slots[0] = &t.time;
    if (t.kind == (roll ? F::kRollTimingRepeat : F::kTimingRepeat)) {
        slots[1] = &t.target;
        if (roll) {
            return 2;
        }
        slots[2] = &t.clock;
        slots[3] = &t.count;
        return 4;
    }
    slots[1] = &t.value;
    return 2;
}

// Writes each record's kind and then its floats, in the order its slots give them.
template <typename Record, typename Slots>
void writeRecords(ByteWriter& out, CameraPathFile::TrackId track, const Record* records, int count,
                  Slots slots) {
    for (int i = 0; i < count; ++i) {
        Record record = records[i];
        float* at[kMaxFloats];
        const int floats = slots(track, record, at);
        out.writeI32(record.kind);
        for (int f = 0; f < floats; ++f) {
            out.writeF32(*at[f]);
        }
    }
}

// A repeat target is stored as a float and truncated toward zero. It must name a played
// record (1 to count - 1): record 0 only shapes its neighbours and is never played.
bool repeatTargetFits(float target, int count) {
    return std::isfinite(target) && std::trunc(target) >= 1.0f && std::trunc(target) < count;
}

// A record of the kind with its floats in place.
template <typename Record, typename Slots>
Record fromFloats(CameraPathFile::TrackId track, int32_t kind, const float* floats, Slots slots) {
    Record record;
    record.kind = kind;
    float* at[kMaxFloats];
    const int count = slots(track, record, at);
    for (int i = 0; i < count; ++i) {
        *at[i] = floats[i];
    }
    return record;
}

template <typename Record, typename Slots>
int floatCount(CameraPathFile::TrackId track, int32_t kind, Slots slots) {
    Record record;
    record.kind = kind;
    float* at[kMaxFloats];
    return slots(track, record, at);
}

}  // namespace

CameraKeyframe CameraPathFile::keyframeFromFloats(TrackId track, int32_t kind, const float* floats) {
    return fromFloats<CameraKeyframe>(track, kind, floats, keyframeSlots);
}

CameraTiming CameraPathFile::timingFromFloats(TrackId track, int32_t kind, const float* floats) {
    return fromFloats<CameraTiming>(track, kind, floats, timingSlots);
}

int CameraPathFile::keyframeFloatCount(TrackId track, int32_t kind) {
    return floatCount<CameraKeyframe>(track, kind, keyframeSlots);
}

int CameraPathFile::timingFloatCount(TrackId track, int32_t kind) {
    return floatCount<CameraTiming>(track, kind, timingSlots);
}

std::string CameraPathFile::read(std::string_view bytes) {
    *this = CameraPathFile();
    ByteCursor in(bytes);
    int32_t header[kHeaderInts];
    for (int32_t& value : header) {
        if (!in.readI32(value)) {
            return format("the file ends at byte %zu, inside the %d-byte header", bytes.size(),
                          kHeaderBytes);
        }
    }
    for (int i = 0; i < 6; ++i) {
        const char* what = i < 3 ? "keyframe" : "timing record";
        if (header[i] < 0 || header[i] > kMaxRecords) {
            return format("header field %d at byte %d: %s %s count %d is outside 0 to %d", i + 1,
                          i * 4, kTrackNames[i % 3], what, header[i], kMaxRecords);
        }
    }
    // Loading enters keyframe 1 of the eye and the target.
    for (int i = 0; i < 2; ++i) {
        if (header[i] < 2) {
            return format("header field %d at byte %d: the %s track needs at least 2 keyframes, "
                          "not %d",
                          i + 1, i * 4, kTrackNames[i], header[i]);
        }
    }
    for (int t = 0; t < 3; ++t) {
        tracks[t].keyframeCount = header[t];
        tracks[t].timingCount = header[3 + t];
        tracks[t].reserved = header[9 + t];
    }

    // Reads one record's kind and floats; sets at to the byte where the record starts.
    auto readRecord = [&](TrackId track, const char* what, int index, int kindCount,
                          int (*floatCount)(TrackId, int32_t), int32_t& kind, float* floats,
                          std::size_t& at) -> std::string {
        at = in.position();
        auto shortFile = [&](std::size_t need) {
            return format("the file ends at byte %zu, inside %s %s %d (which needs %zu bytes from "
                          "byte %zu)",
                          bytes.size(), kTrackNames[track], what, index, need, in.position());
        };
        if (!in.readI32(kind)) {
            return shortFile(4);
        }
        if (kind < 0 || kind >= kindCount) {
            return format("%s %s %d at byte %zu: kind %d is not one of 0 to %d", kTrackNames[track],
                          what, index, at, kind, kindCount - 1);
        }
        const int count = floatCount(track, kind);
        if (!in.has(static_cast<std::size_t>(count) * 4)) {
            return shortFile(static_cast<std::size_t>(count) * 4);
        }
        for (int f = 0; f < count; ++f) {
            in.readF32(floats[f]);
            if (!std::isfinite(floats[f])) {
                return format("%s %s %d at byte %zu: value %d is not a finite number",
                              kTrackNames[track], what, index, at, f + 1);
            }
        }
        return "";
    };

    std::size_t keyframeAt[3][kMaxRecords] = {};
    std::size_t timingAt[3][kMaxRecords] = {};
    for (int t = 0; t < 3; ++t) {
        const TrackId id = static_cast<TrackId>(t);
        Track& track = tracks[t];
        for (int i = 0; i < track.keyframeCount; ++i) {
            int32_t kind = 0;
            float floats[kMaxFloats] = {};
            std::string fault = readRecord(id, "keyframe", i, keyframeKindCount(id), keyframeFloatCount,
                                           kind, floats, keyframeAt[t][i]);
            if (!fault.empty()) {
                return fault;
            }
            track.keyframes[i] = keyframeFromFloats(id, kind, floats);
        }
        track.keyframesEnd = static_cast<int32_t>(in.position());
    }
    for (int t = 0; t < 3; ++t) {
        const TrackId id = static_cast<TrackId>(t);
        Track& track = tracks[t];
        for (int i = 0; i < track.timingCount; ++i) {
            int32_t kind = 0;
            float floats[4] = {};
            std::string fault = readRecord(id, "timing record", i, timingKindCount(id), timingFloatCount,
                                           kind, floats, timingAt[t][i]);
            if (!fault.empty()) {
                return fault;
            }
            track.timing[i] = timingFromFloats(id, kind, floats);
        }
    }

    // Repeat targets can only be checked once the counts are known.
    auto repeatFault = [&](int t, const auto* records, int count, int32_t repeatKind,
                           const std::size_t* at, const char* what, const char* noun) {
        for (int i = 0; i < count; ++i) {
            if (records[i].kind == repeatKind && !repeatTargetFits(records[i].target, count)) {
                return format("%s %s %d at byte %zu: repeat target %g is not a %s from 1 to %d",
                              kTrackNames[t], what, i, at[i], records[i].target, noun, count - 1);
            }
        }
        return std::string();
    };
    for (int t = 0; t < 3; ++t) {
        const Track& track = tracks[t];
        std::string fault = repeatFault(t, track.keyframes, track.keyframeCount,
                                        t == kRoll ? kRollRepeat : kRepeat, keyframeAt[t], "keyframe",
                                        "keyframe");
        if (fault.empty()) {
            fault = repeatFault(t, track.timing, track.timingCount,
                                t == kRoll ? kRollTimingRepeat : kTimingRepeat, timingAt[t],
                                "timing record", "record");
        }
        if (!fault.empty()) {
            return fault;
        }
    }
    return "";
}

bool CameraPathFile::load(const std::string& path) {
    std::string bytes;
    std::string fault;
    if (FileReader::read(path, bytes, fault)) {
        fault = read(bytes);
    }
    if (!fault.empty()) {
        *this = CameraPathFile();
        FaultReporter::report(path, fault);
        return false;
    }
    return true;
}

std::string CameraPathFile::write() const {
    ByteWriter out;
    for (const Track& track : tracks) {
        out.writeI32(track.keyframeCount);
    }
    for (const Track& track : tracks) {
        out.writeI32(track.timingCount);
    }
    for (int i = 0; i < 6; ++i) {
        out.writeI32(0);
    }
    for (int t = 0; t < 3; ++t) {
        writeRecords(out, static_cast<TrackId>(t), tracks[t].keyframes, tracks[t].keyframeCount,
                     keyframeSlots);
    }
    for (int t = 0; t < 3; ++t) {
        writeRecords(out, static_cast<TrackId>(t), tracks[t].timing, tracks[t].timingCount, timingSlots);
    }
    return out.bytes();
}
