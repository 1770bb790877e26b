#pragma once

// Camera path files for the rig's tests, written field by field from raw kinds and floats,
// independently of the game's own writer, so that faulty files can be made too.

#include "control/CameraRig.h"

#include "math/Matrix4.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace camera_test {

enum TrackId { kEye = 0, kTarget = 1, kRoll = 2 };

// Writes camera path files field by field, the way the rig reads them.
struct PathFile {
    struct Record {
        int32_t kind;
        std::vector<float> values;
    };
    std::vector<Record> keyframes[3];
    std::vector<Record> timing[3];

    PathFile& key(TrackId track, int32_t kind, std::vector<float> values) {
        keyframes[track].push_back({kind, std::move(values)});
        return *this;
    }
    PathFile& time(TrackId track, int32_t kind, std::vector<float> values) {
        timing[track].push_back({kind, std::move(values)});
        return *this;
    }

    std::vector<unsigned char> bytes() const {
        std::vector<unsigned char> out;
        for (const auto& list : keyframes) {
            appendInt(out, static_cast<int32_t>(list.size()));
        }
        for (const auto& list : timing) {
            appendInt(out, static_cast<int32_t>(list.size()));
        }
        for (int i = 0; i < 6; ++i) {
            appendInt(out, 1234);
        }
        for (const auto& lists : {keyframes, timing}) {
            for (int t = 0; t < 3; ++t) {
                for (const Record& record : lists[t]) {
                    appendInt(out, record.kind);
                    for (float value : record.values) {
                        appendFloat(out, value);
                    }
                }
            }
        }
        return out;
    }

    static void appendInt(std::vector<unsigned char>& out, int32_t value) {
        uint32_t word = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<unsigned char>(word >> shift));
        }
    }
    static void appendFloat(std::vector<unsigned char>& out, float value) {
        int32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        appendInt(out, bits);
    }
    // Overwrites the header field with the given index (0 to 11).
    static void setHeader(std::vector<unsigned char>& bytes, int field, int32_t value) {
        std::vector<unsigned char> word;
        appendInt(word, value);
        std::copy(word.begin(), word.end(), bytes.begin() + field * 4);
    }
};

// Eye keyframe 1 is a line to (6, 16, 0) at a constant 10 units per second; the target and
// roll tracks hold still.
inline PathFile basicPath() {
    PathFile path;
    path.key(kEye, CameraRig::kHold, {0, 0, 0}).key(kEye, CameraRig::kLine, {6, 16, 0});
    path.key(kTarget, CameraRig::kHold, {0, 0, -4}).key(kTarget, CameraRig::kHold, {0, 0, -4});
    path.key(kRoll, CameraRig::kRollStep, {1, 0}).key(kRoll, CameraRig::kRollStep, {1, 0});
    for (TrackId track : {kEye, kTarget, kRoll}) {
        path.time(track, CameraRig::kConstant, {0, 10}).time(track, CameraRig::kConstant, {100, 10});
    }
    return path;
}

inline std::string writeFile(const std::vector<unsigned char>& bytes) {
    static int serial = 0;
    return TestFiles::write("rig" + std::to_string(++serial), bytes);
}

inline bool load(CameraRig& rig, const PathFile& path) { return rig.load(writeFile(path.bytes())); }

// Loads a file that must be refused; returns what the rig printed.
inline std::string rejection(const std::vector<unsigned char>& bytes) {
    std::string file = writeFile(bytes);
    CameraRig rig;
    testing::internal::CaptureStderr();
    bool loaded = rig.load(file);
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(rig.loaded());
    EXPECT_EQ(message.rfind(file + ": ", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    return message;
}

inline std::string rejection(const PathFile& path) { return rejection(path.bytes()); }

inline void expectPoint(const Vec3& point, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(point.x, x, tolerance);
    EXPECT_NEAR(point.y, y, tolerance);
    EXPECT_NEAR(point.z, z, tolerance);
}

// Applies the camera's model-view to a point, columns as OpenGL reads them.
inline Vec3 viewOf(const Matrix4& m, float x, float y, float z) {
    return Vec3(m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                m[2] * x + m[6] * y + m[10] * z + m[14]);
}

}  // namespace camera_test
