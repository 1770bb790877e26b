#include "LoaderFuzzTargets.h"

// glDeleteProgram is not in the game's entry-point table (the game never deletes its programs);
// libGL exports it directly.
#define GL_GLEXT_PROTOTYPES 1

#include "control/CameraRig.h"
#include "game/BestScores.h"
#include "io/RunRecord.h"
#include "io/WavFile.h"
#include "math/Camera.h"
#include "math/Collider.h"
#include "render/GlEntryPoints.h"
#include "render/ImageDecoders.h"
#include "render/Mesh.h"
#include "render/MeshAnimation.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "sim/PatternFile.h"

#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The input as a file of the given name in a folder of this process's own, removed again
// when the entry is done, so parallel fuzzers never read each other's inputs.
class ScratchInput {
public:
    ScratchInput(const char* name, const uint8_t* data, size_t size) {
        std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("tamq-fuzz-" + std::to_string(::getpid()));
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        path_ = (folder / name).string();
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file != nullptr) {
            if (size > 0) {
                std::fwrite(data, 1, size, file);
            }
            std::fclose(file);
        }
    }
    ~ScratchInput() { std::remove(path_.c_str()); }
    ScratchInput(const ScratchInput&) = delete;
    ScratchInput& operator=(const ScratchInput&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Reads every pixel once so a buffer shorter than width × height shows up under ASan.
int touchPixels(const unsigned char* pixels, size_t bytes) {
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) {
        sum += pixels[i];
    }
    return static_cast<int>(sum & 1u);
}

size_t paddedRow(size_t width) { return (width * 3 + 3) & ~size_t{3}; }

void useMesh(Mesh& mesh) {
    mesh.scalePositions(2.0f, 0.5f, 1.0f);
    MeshAnimation* animation = mesh.animation();
    if (animation != nullptr) {
        const uint32_t count = animation->animationCount();
        for (uint32_t a = 0; a <= count; ++a) {
            const float end = animation->endTime(a);
            for (float t : {-1.0f, 0.0f, 0.25f * end, 0.5f * end, end, end + 1.0f}) {
                animation->sample(a, t);
            }
        }
    }
    const std::vector<uint32_t>& indices = mesh.indices();
    const size_t vertexCount = mesh.positions().size() / 3;
    for (uint32_t index : indices) {
        // Any index past the vertices would make the GPU read outside the buffer.
        if (index >= vertexCount) {
            __builtin_trap();
        }
    }
}

}  // namespace

LoaderFuzzTargets::Entry LoaderFuzzTargets::find(const char* name) {
    struct Named {
        const char* name;
        Entry entry;
    };
    static constexpr Named kTargets[] = {
        {"bmp", &LoaderFuzzTargets::bmp},           {"fontbmp", &LoaderFuzzTargets::fontBmp},
        {"png", &LoaderFuzzTargets::png},           {"meshjson", &LoaderFuzzTargets::meshJson},
        {"bloc", &LoaderFuzzTargets::bloc},         {"collider", &LoaderFuzzTargets::collider},
        {"patterns", &LoaderFuzzTargets::patterns}, {"campath", &LoaderFuzzTargets::cameraPath},
        {"shader", &LoaderFuzzTargets::shader},     {"wav", &LoaderFuzzTargets::wav},
        {"best", &LoaderFuzzTargets::bestScores},   {"record", &LoaderFuzzTargets::runRecord},
    };
    for (const Named& target : kTargets) {
        if (std::strcmp(target.name, name) == 0) {
            return target.entry;
        }
    }
    return nullptr;
}

bool LoaderFuzzTargets::needsGl(const char* name) { return std::strcmp(name, "shader") == 0; }

int LoaderFuzzTargets::bmp(const uint8_t* data, size_t size) {
    ScratchInput input("input.bmp", data, size);
    uint16_t width = 0, height = 0;
    auto pixels = decodeBmp(input.path().c_str(), width, height);
    return pixels ? touchPixels(pixels.get(), paddedRow(width) * height) : 0;
}

int LoaderFuzzTargets::fontBmp(const uint8_t* data, size_t size) {
    ScratchInput input("font.bmp.fnt", data, size);
    uint16_t width = 0, height = 0;
    auto pixels = decodeBmpWithAlpha(input.path().c_str(), width, height);
    int sum = pixels ? touchPixels(pixels.get(), size_t{width} * height * 4) : 0;
    // The texture's own choice of decoder by name, without uploading.
    Texture texture;
    texture.load(input.path().c_str());
    if (texture.pixels() != nullptr) {
        sum += touchPixels(texture.pixels(), size_t{texture.width()} * texture.height() * 4);
    }
    return sum & 1;
}

int LoaderFuzzTargets::png(const uint8_t* data, size_t size) {
    ScratchInput input("input.png", data, size);
    uint16_t width = 0, height = 0;
    auto pixels = decodePng(input.path().c_str(), width, height);
    return pixels ? touchPixels(pixels.get(), size_t{width} * height * 4) : 0;
}

namespace {

// The file's name picks the mesh reader, as in the game.
int loadMesh(const char* name, const uint8_t* data, size_t size) {
    ScratchInput input(name, data, size);
    Mesh mesh;
    try {
        mesh.load(input.path());
    } catch (const std::runtime_error&) {
        return 0;
    }
    useMesh(mesh);
    return 0;
}

}  // namespace

int LoaderFuzzTargets::meshJson(const uint8_t* data, size_t size) { return loadMesh("mesh.json", data, size); }

int LoaderFuzzTargets::bloc(const uint8_t* data, size_t size) { return loadMesh("mesh.bloc", data, size); }

int LoaderFuzzTargets::collider(const uint8_t* data, size_t size) {
    ScratchInput input("collider.json", data, size);
    Collider collider;
    collider.load(input.path());
    float sum = 0.0f;
    for (uint32_t i = 0; i < collider.circleCount(); ++i) {
        sum += collider.circleX(i) + collider.circleY(i) + collider.circleRadius(i);
    }
    for (uint32_t i = 0; i < collider.edgeCount(); ++i) {
        float ends[4];
        collider.edgeEnds(i, ends);
        sum += ends[0] + ends[3];
    }
    return sum > 0.0f ? 0 : 0;
}

int LoaderFuzzTargets::patterns(const uint8_t* data, size_t size) {
    ScratchInput input("cars.json", data, size);
    std::vector<CarSpawn> queue;
    std::vector<CarPattern> pool;
    PatternFile::load(input.path(), 0.0f, queue, pool);
    PatternFile::load(input.path(), 20.0f, queue, pool);
    return 0;
}

int LoaderFuzzTargets::cameraPath(const uint8_t* data, size_t size) {
    ScratchInput input("camversion1", data, size);
    CameraRig rig;
    Camera camera;
    rig.setCamera(&camera);
    if (!rig.load(input.path())) {
        return 0;
    }
    // Ten seconds of play at 60 frames a second, then one long stalled frame.
    for (int frame = 0; frame < 600; ++frame) {
        rig.update(1.0f / 60.0f);
        rig.applyToCamera();
    }
    rig.update(2.5f);
    rig.applyToCamera();
    return 0;
}

int LoaderFuzzTargets::shader(const uint8_t* data, size_t size) {
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t vertexSize = split != nullptr ? static_cast<size_t>(split - data) : size;
    const uint8_t* fragment = split != nullptr ? split + 1 : data + size;
    ScratchInput vertex("shader.vert", data, vertexSize);
    ScratchInput fragmentInput("shader.frag", fragment, static_cast<size_t>(data + size - fragment));
    GLuint program = 0, vertexShader = 0, fragmentShader = 0;
    {
        ShaderProgram shaderProgram;
        shaderProgram.load(vertex.path().c_str(), fragmentInput.path().c_str());
        shaderProgram.compileAndLink();
        shaderProgram.use();
        program = shaderProgram.program();
        vertexShader = shaderProgram.vertexShader();
        fragmentShader = shaderProgram.fragmentShader();
    }
    // The game keeps its two programs for the whole run; thousands of inputs must not pile up.
    gl.glUseProgram(0);
    if (vertexShader != 0) {
        gl.glDeleteShader(vertexShader);
    }
    if (fragmentShader != 0) {
        gl.glDeleteShader(fragmentShader);
    }
    if (program != 0) {
        glDeleteProgram(program);
    }
    return 0;
}

int LoaderFuzzTargets::wav(const uint8_t* data, size_t size) {
    WavSound sound;
    std::string fault;
    if (!WavFile::parse(std::string_view(reinterpret_cast<const char*>(data), size), sound, fault)) {
        return 0;
    }
    // What was read is what the audio hands to the device: every sample must be there.
    int sum = 0;
    for (int16_t sample : sound.samples) {
        sum += sample & 1;
    }
    return sum < 0 ? 1 : 0;
}

int LoaderFuzzTargets::bestScores(const uint8_t* data, size_t size) {
    BestScores scores;
    std::string fault;
    if (BestScores::fromJson(std::string_view(reinterpret_cast<const char*>(data), size), scores, fault)) {
        // A stored file read back must survive its own round trip unchanged.
        BestScores again;
        if (!BestScores::fromJson(scores.toJson(), again, fault) || !(again == scores)) {
            std::abort();
        }
    }
    return 0;
}

int LoaderFuzzTargets::runRecord(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RunRecord record;
    std::string fault;
    if (!RunRecord::fromBytes(bytes, record, fault)) {
        if (fault.empty() || fault.find('\n') != std::string::npos) {
            std::abort();
        }
        return 0;
    }
    // A record has one spelling: what was read writes back byte for byte, so a verifier
    // and a board that store the bytes agree on what was played.
    if (record.toBytes() != bytes) {
        std::abort();
    }
    unsigned sum = 0;
    for (uint32_t tick = 0; tick < record.ticks; tick += 97) {
        sum += record.keysAt(tick);
    }
    return static_cast<int>(sum & 1u);
}
