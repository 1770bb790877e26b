#include "sim/InputScript.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// What a script puts in the input, frame by frame, until it ends.
std::vector<GameInput> playAll(InputScript script) {
    std::vector<GameInput> seen;
    GameInput input{GameKey::Down};  // left over from before: the first frame replaces it
    while (script.play(input)) {
        seen.push_back(input);
    }
    seen.push_back(input);  // the keys the script leaves held
    return seen;
}

}  // namespace

TEST(GameInput, HoldsEachKeyOnItsOwnAndPollsThePlatformForAll) {
    GameInput input{GameKey::F2, GameKey::Left};
    EXPECT_TRUE(input.isDown(GameKey::F2));
    EXPECT_TRUE(input.isDown(GameKey::Left));
    EXPECT_FALSE(input.isDown(GameKey::F1));
    input.hold(GameKey::F2, false);
    EXPECT_FALSE(input.isDown(GameKey::F2));
    EXPECT_TRUE(input.isDown(GameKey::Left));

    input.poll([](GameKey key) { return key == GameKey::Space || key == GameKey::Down; });
    EXPECT_EQ(input, (GameInput{GameKey::Space, GameKey::Down}));
    input.poll(nullptr);
    EXPECT_EQ(input, GameInput{});
}

TEST(InputScript, EachStepHoldsItsKeysUntilTheNextAndTheLastEndsTheScript) {
    const std::vector<GameInput> seen =
        playAll({{2, {GameKey::Space}}, {4, {GameKey::F1, GameKey::Up}}, {5, {GameKey::Up}}});
    const std::vector<GameInput> expected = {
        {}, {}, {GameKey::Space}, {GameKey::Space}, {GameKey::F1, GameKey::Up}, {GameKey::Up}};
    EXPECT_EQ(seen, expected);

    InputScript endless;
    GameInput input;
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_FALSE(endless.play(input)) << "an empty script has nothing to play";
    }
    EXPECT_EQ(endless.frame(), 3);
}

TEST(InputScript, RefusesAStepThatDoesNotFollowTheLast) {
    InputScript script;
    script.add(10, {GameKey::F2});
    EXPECT_THROW(script.add(10, {}), std::invalid_argument);
    EXPECT_THROW(script.add(3, {}), std::invalid_argument);
    script.add(11, {});
}
