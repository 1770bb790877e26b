// The pieces that run inside a frame, each on its own: the bar against a car's collider,
// the score text and the road's strip.

#include "BenchContext.h"

#include "math/Camera.h"
#include "math/Collider.h"
#include "vocab/ContentPaths.h"
#include "render/Collision.h"
#include "render/GlEntryPoints.h"
#include "render/Road.h"
#include "render/Sprite.h"
#include "render/Text.h"
#include "render/Texture.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

struct CollisionScene {
    Collider collider;
    Sprite car;
    Sprite bar;

    CollisionScene() {
        collider.load(ContentPaths::kCollider);
        car.place(3.0f, 4.0f, -1.0f, nullptr, nullptr, nullptr);
        car.setSize(2.4f, 4.0f, 1.0f);
        car.setPivot(0.5f, 0.5f);
        car.attachCollider(&collider);
        bar.place(0.0f, 0.0f, -1.0f, nullptr, nullptr, nullptr);
        bar.setSize(0.5f, 13.0f, 1.0f);
        bar.setPivot(0.5f, 0.5f);
    }
};

// A car beside the bar's reach: every circle and edge is tested, the common case.
void segmentMisses(benchmark::State& state) {
    CollisionScene scene;
    scene.car.x = 10.5f;
    scene.bar.setRotation(33.0f);
    const float angle = static_cast<float>(33.0 * kDegreesToRadians);
    const Vec2 bottom = localToWorld(scene.bar, 0.5f, 0.0f, std::sin(angle), std::cos(angle));
    const Vec2 top = localToWorld(scene.bar, 0.5f, 1.0f, std::sin(angle), std::cos(angle));
    for (auto _ : state) {
        benchmark::DoNotOptimize(segmentHitsCollider(scene.car, top.x, top.y, bottom.x, bottom.y));
    }
}
BENCHMARK(segmentMisses)->Name("segmentHitsCollider/miss")->Apply(addSpreadStatistics);

// The bar crossing the car: stops at the first edge crossed.
void segmentHits(benchmark::State& state) {
    CollisionScene scene;
    scene.car.x = 2.0f;
    scene.car.y = 2.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(segmentHitsCollider(scene.car, 0.0f, 6.5f, 0.0f, -6.5f) ||
                                 segmentHitsCollider(scene.car, 2.0f, 6.5f, 2.0f, -6.5f));
    }
}
BENCHMARK(segmentHits)->Name("segmentHitsCollider/hit")->Apply(addSpreadStatistics);

// The score text as the game sets it every frame: same length, new digits.
void textSetScore(benchmark::State& state) {
    BenchContext::instance();
    Camera camera;
    Text text;
    text.init("ca marche!", {.x = 310, .y = 35, .z = -35, .size = 90, .red = 0, .blue = 0, .camera = &camera});
    text.setString("1234");
    const char* scores[] = {"1234", "1235"};
    int i = 0;
    int sinceFinish = 0;
    for (auto _ : state) {
        text.setString(scores[i]);
        i ^= 1;
        if (++sinceFinish == 1000) {
            state.PauseTiming();
            glFinish();
            sinceFinish = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(textSetScore)->Name("Text::setString/score")->Apply(addSpreadStatistics);

// The strip built and uploaded by a road's first draw. The camera's matrices are all zero,
// so the driver clips every triangle and only the building is left to measure.
void roadStripBuild(benchmark::State& state) {
    BenchContext::instance();
    Camera camera;
    Texture texture;
    for (auto _ : state) {
        Road road;
        road.draw(camera, texture);
        benchmark::DoNotOptimize(Road::stripMesh().indexCount());
        state.PauseTiming();
        glFinish();
        state.ResumeTiming();
    }
}
BENCHMARK(roadStripBuild)->Name("Road/strip_build")->Unit(benchmark::kMicrosecond)
    ->Apply(addSpreadStatistics);

}  // namespace
