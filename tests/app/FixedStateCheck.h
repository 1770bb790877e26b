#pragma once

#include "render/GlEntryPoints.h"

#include <gtest/gtest.h>

#include <utility>

// What either backend's window must read back once the fixed state is applied: white
// clear colour, LEQUAL depth, ordinary alpha blending, culling and depth testing on,
// texture unit 0, and a cleared frame that is white.
inline void expectFixedStateReadsBack() {
    applyFixedGlState();
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    for (GLfloat channel : clear) {
        EXPECT_EQ(channel, 1.0f);
    }
    const std::pair<GLenum, GLint> expected[] = {{GL_DEPTH_FUNC, GL_LEQUAL},
                                                 {GL_ACTIVE_TEXTURE, GL_TEXTURE0},
                                                 {GL_BLEND_SRC_RGB, GL_SRC_ALPHA},
                                                 {GL_BLEND_DST_RGB, GL_ONE_MINUS_SRC_ALPHA}};
    for (const auto& [name, value] : expected) {
        GLint actual = 0;
        glGetIntegerv(name, &actual);
        EXPECT_EQ(actual, value) << std::hex << name;
    }
    for (GLenum capability : {GL_BLEND, GL_CULL_FACE, GL_DEPTH_TEST}) {
        EXPECT_TRUE(glIsEnabled(capability)) << std::hex << capability;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GLubyte pixel[4] = {};
    glReadPixels(640, 360, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
