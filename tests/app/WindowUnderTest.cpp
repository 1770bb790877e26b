#include "WindowUnderTest.h"

#include "app/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>

bool WindowUnderTest::create(Window& window, ContextQuery contextCurrent) {
    contextCurrent_ = contextCurrent;
    sizes.clear();
    contextCurrentAtFirstSize = false;
    window.setResizeCallback(recordSize, this);
    testing::internal::CaptureStderr();
    const bool created = window.create(1280, 720, 32, false);
    creationLog = testing::internal::GetCapturedStderr();
    return created;
}

void WindowUnderTest::recordSize(void* self, int width, int height) {
    auto& test = *static_cast<WindowUnderTest*>(self);
    if (test.sizes.empty()) {
        test.contextCurrentAtFirstSize = test.contextCurrent_();
    }
    test.sizes.emplace_back(width, height);
}

void WindowUnderTest::expectModernContext() const {
    if (std::getenv("MESA_GL_VERSION_OVERRIDE") != nullptr) {
        return;
    }
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_GE(version[0], '3') << version;
    EXPECT_EQ(creationLog.find("falling back"), std::string::npos) << creationLog;
}

void WindowUnderTest::expectFirstSizeDuringCreate() const {
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front(), std::make_pair(1280, 720));
    EXPECT_TRUE(contextCurrentAtFirstSize);
}

void WindowUnderTest::expectContextOutlivesTheLoop(Window& window, GLuint texture) const {
    EXPECT_TRUE(window.hasContext());
    EXPECT_TRUE(contextCurrent_());
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    window.pumpMessages();
    EXPECT_FALSE(window.isRunning());
}

void WindowUnderTest::expectLegacyFallback(const Window& window) const {
    EXPECT_NE(creationLog.find("OpenGL 3.0 is not supported, falling back to GL 2.1\n"), std::string::npos)
        << creationLog;
    EXPECT_TRUE(window.isRunning());
    ASSERT_TRUE(contextCurrent_());
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version[0], '2') << version;
    // Everything the game calls exists on the legacy context too.
    EXPECT_EQ(gl.load(glProcAddress), "");
}

void WindowUnderTest::expectOneRedrawAfter(Window& window, const std::function<void()>& expose) {
    window.swapBuffers();
    EXPECT_FALSE(window.needsRedraw());
    expose();
    window.pumpMessages();
    EXPECT_TRUE(window.needsRedraw());
    window.swapBuffers();
    EXPECT_FALSE(window.needsRedraw());
}
