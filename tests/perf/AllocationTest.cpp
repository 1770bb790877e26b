// Heap allocations during steady frames of the game. Every allocation of the process goes
// through the replaced operator new and malloc below; the ones made on the main thread
// while a frame runs are counted, split by whether they happened inside OpenGL (or the
// swap) or in the game's own code. Only the game's own must be zero: how Mesa manages its
// memory inside a call is the driver's business, and the figure is printed beside it.
//
// The boundary is marked by forwarding wrappers: the OpenGL 1.1 functions the game calls
// are defined here and pass through to the real ones looked up with RTLD_NEXT, and every
// entry of the `gl` table is swapped for a wrapper that calls the entry it replaced.

#include "support/BusyRun.h"
#include "support/HeadlessGl.h"

#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

struct AllocationCounts {
    std::size_t ownNew = 0;
    std::size_t ownMalloc = 0;
    std::size_t driver = 0;
    std::size_t own() const { return ownNew + ownMalloc; }
};

// Only the main thread ever counts, so the totals need no atomics; the rasteriser's
// threads see counting == false.
thread_local bool counting = false;
thread_local int driverDepth = 0;
AllocationCounts counts;

void noteAllocation(bool throughNew) {
    if (!counting) {
        return;
    }
    if (driverDepth > 0) {
        ++counts.driver;
    } else if (throughNew) {
        ++counts.ownNew;
    } else {
        ++counts.ownMalloc;
    }
}

// Marks the time spent inside the driver or the window system.
struct DriverScope {
    DriverScope() { ++driverDepth; }
    ~DriverScope() { --driverDepth; }
    DriverScope(const DriverScope&) = delete;
    DriverScope& operator=(const DriverScope&) = delete;
};

void* allocateForNew(std::size_t size) {
    noteAllocation(true);
    if (void* pointer = __libc_malloc(size == 0 ? 1 : size)) {
        return pointer;
    }
    throw std::bad_alloc();
}

void* allocateAlignedForNew(std::size_t size, std::align_val_t alignment) {
    noteAllocation(true);
    if (void* pointer = __libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size)) {
        return pointer;
    }
    throw std::bad_alloc();
}

}  // namespace

// ---- The process's allocator, counted ----------------------------------------------------------

extern "C" {
void* malloc(std::size_t size) {
    noteAllocation(false);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    noteAllocation(false);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    noteAllocation(false);
    return __libc_realloc(pointer, size);
}
void free(void* pointer) { __libc_free(pointer); }
void* memalign(std::size_t alignment, std::size_t size) {
    noteAllocation(false);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    noteAllocation(false);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    noteAllocation(false);
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return ENOMEM;
    }
    *out = pointer;
    return 0;
}
}

void* operator new(std::size_t size) { return allocateForNew(size); }
void* operator new[](std::size_t size) { return allocateForNew(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    noteAllocation(true);
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    noteAllocation(true);
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateAlignedForNew(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAlignedForNew(size, alignment);
}
void operator delete(void* pointer) noexcept { __libc_free(pointer); }
void operator delete[](void* pointer) noexcept { __libc_free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { __libc_free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { __libc_free(pointer); }
void operator delete(void* pointer, std::align_val_t) noexcept { __libc_free(pointer); }
void operator delete[](void* pointer, std::align_val_t) noexcept { __libc_free(pointer); }
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept { __libc_free(pointer); }
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept {
    __libc_free(pointer);
}

// ---- The driver boundary ----------------------------------------------------------------------

#define TAMQ_FORWARD_GL(name, params, args)                                                 \
    extern "C" void name params {                                                           \
        DriverScope scope;                                                                  \
        static const auto real = reinterpret_cast<void(*) params>(dlsym(RTLD_NEXT, #name)); \
        real args;                                                                          \
    }

TAMQ_FORWARD_GL(glClear, (GLbitfield mask), (mask))
TAMQ_FORWARD_GL(glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a), (r, g, b, a))
TAMQ_FORWARD_GL(glEnable, (GLenum cap), (cap))
TAMQ_FORWARD_GL(glDisable, (GLenum cap), (cap))
TAMQ_FORWARD_GL(glDepthMask, (GLboolean flag), (flag))
TAMQ_FORWARD_GL(glDepthFunc, (GLenum func), (func))
TAMQ_FORWARD_GL(glBlendFunc, (GLenum s, GLenum d), (s, d))
TAMQ_FORWARD_GL(glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
TAMQ_FORWARD_GL(glBindTexture, (GLenum target, GLuint texture), (target, texture))
TAMQ_FORWARD_GL(glTexParameteri, (GLenum target, GLenum name, GLint value), (target, name, value))
TAMQ_FORWARD_GL(glGenTextures, (GLsizei n, GLuint* textures), (n, textures))
TAMQ_FORWARD_GL(glDeleteTextures, (GLsizei n, const GLuint* textures), (n, textures))
TAMQ_FORWARD_GL(glTexImage2D,
                (GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border,
                 GLenum format, GLenum type, const GLvoid* pixels),
                (target, level, internal, w, h, border, format, type, pixels))
TAMQ_FORWARD_GL(glDrawElements, (GLenum mode, GLsizei count, GLenum type, const GLvoid* indices),
                (mode, count, type, indices))
TAMQ_FORWARD_GL(glFinish, (), ())

namespace {

template <int Id, class R, class... A>
R (*wrapEntry(R (*real)(A...)))(A...) {
    static R (*saved)(A...) = nullptr;
    if (real == nullptr) {
        return nullptr;
    }
    saved = real;
    return [](A... args) -> R {
        DriverScope scope;
        return saved(args...);
    };
}

// Once per process: every later call through the table is marked as driver time.
void wrapEntryPoints() {
    static bool wrapped = false;
    if (wrapped) {
        return;
    }
    wrapped = true;
#define TAMQ_WRAP_ENTRY(type, name, needed) gl.name = wrapEntry<__COUNTER__>(gl.name);
    TAMQ_GL_ENTRY_POINTS(TAMQ_WRAP_ENTRY)
#undef TAMQ_WRAP_ENTRY
}

// ---- Driving the game ---------------------------------------------------------------------------

constexpr float kFrameStep = 1.0f / 60.0f;
constexpr int kCountedFrames = 1000;

class SteadyFrameAllocations : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_GL();
        wrapEntryPoints();
        game_ = std::make_unique<Game>();
        // Every call of the frame is made as at full size, into a small corner of the window:
        // the rasteriser's fill, on which the game's own allocations cannot depend, is what
        // would make these thousands of frames slow.
        game_->resize(64, 36);
        ASSERT_TRUE(game_->init());
    }

    void TearDown() override {
        if (game_) {
            game_->releaseTextures();
            game_->resize(1280, 720);
        }
    }

    // One pass of the main loop: the game's frame, then the swap, waited out.
    void frame() {
        game_->update(kFrameStep);
        game_->render();
        DriverScope scope;
        HeadlessGl::instance().present();
    }

    void frames(int n) {
        for (int i = 0; i < n; ++i) {
            frame();
        }
    }

    // Holds one key for a single frame, once the previous key action is more than a second old.
    void press(GameKey key) {
        while (game_->toggleTimer() <= 1.0f) {
            frame();
        }
        game_->input().hold(key);
        frame();
        game_->input().releaseAll();
    }

    // Counts over kCountedFrames frames, calling watch after each so the scenario can check
    // that it did what it claims.
    template <class Watch>
    AllocationCounts countFrames(Watch&& watch) {
        counts = AllocationCounts();
        for (int i = 0; i < kCountedFrames; ++i) {
            counting = true;
            frame();
            counting = false;
            watch();
        }
        const AllocationCounts result = counts;
        std::printf("over %d frames: %zu by operator new, %zu by malloc in the game's code; "
                    "%zu inside OpenGL and the swap\n",
                    kCountedFrames, result.ownNew, result.ownMalloc, result.driver);
        RecordProperty("driver_allocations", static_cast<int>(result.driver));
        return result;
    }

    std::unique_ptr<Game> game_;
};

}  // namespace

// The counter itself: an allocation in our code is seen, one inside a driver scope is not
// blamed on the game. Without this the zeros below would prove nothing.
TEST(AllocationCounter, TellsTheGamesAllocationsFromTheDriversAndIgnoresOtherTimes) {
    counts = AllocationCounts();
    auto* outside = new std::vector<int>(8);
    counting = true;
    auto* ours = new std::vector<int>(8);
    void* raw = std::malloc(16);
    {
        DriverScope scope;
        std::free(std::malloc(32));
    }
    counting = false;
    delete ours;
    delete outside;
    std::free(raw);
    EXPECT_EQ(counts.ownNew, 2u);  // the vector and its storage
    EXPECT_EQ(counts.ownMalloc, 1u);
    EXPECT_EQ(counts.driver, 1u);
}

TEST_F(SteadyFrameAllocations, TitleScreenPlayingRandomPatterns) {
    frames(300);
    int mostCars = 0;
    float lastQueueTime = -1.0f;
    int patternsDrawn = 0;
    const AllocationCounts result = countFrames([&] {
        mostCars = std::max(mostCars, BusyRun::activeCars(*game_));
        const auto& queue = game_->spawnQueue();
        if (!queue.empty() && queue.back().time != lastQueueTime) {
            lastQueueTime = queue.back().time;
            ++patternsDrawn;
        }
    });
    EXPECT_FALSE(game_->running());
    EXPECT_GT(mostCars, 0);
    EXPECT_GT(patternsDrawn, 1) << "the frames must include pattern draws into the queue";
    EXPECT_EQ(result.own(), 0u);
}

// An EASY run from its start: the scripted cars enter, leave, touch the bar, and the game
// recovers and switches shaders, all inside the counted frames.
TEST_F(SteadyFrameAllocations, RunWithScriptedTrafficHitsAndRecoveries) {
    press(GameKey::F1);
    press(GameKey::Space);
    ASSERT_TRUE(game_->running());
    ASSERT_EQ(game_->lives(), 3);
    frames(300);
    int mostCars = 0;
    int framesTestingTheBar = 0;
    const AllocationCounts result = countFrames([&] {
        mostCars = std::max(mostCars, BusyRun::activeCars(*game_));
        if (game_->recoveryTime() >= 2.0f && !game_->gameOver()) {
            ++framesTestingTheBar;
        }
    });
    EXPECT_GT(mostCars, 1);
    EXPECT_GT(framesTestingTheBar, kCountedFrames / 2);
    EXPECT_EQ(result.own(), 0u);
}

// Every slot on the road and the bar tested against all of them in every frame, while the
// due scripted entries wait for a free slot.
TEST_F(SteadyFrameAllocations, BusyRunWithEverySlotTakenAndTheBarTestedEachFrame) {
    BusyRun::start(*game_);
    frames(120);
    const AllocationCounts result = countFrames([] {});
    EXPECT_EQ(BusyRun::activeCars(*game_), Game::kCarSlots);
    EXPECT_FALSE(game_->gameOver());
    EXPECT_GE(game_->recoveryTime(), 2.0f);
    EXPECT_FALSE(game_->spawnQueue().empty());
    EXPECT_EQ(result.own(), 0u);
}
