#include "io/JsonFile.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

TEST(JsonFile, AMemberIsFoundOrItsAbsenceNamedWithItsOwner) {
    const JsonValue object = JsonValue::parse(R"({"vertices": [1, 2], "time": 3})");
    const JsonValue list = JsonValue::parse(R"([{"vertices": []}])");
    const struct {
        const JsonValue& in;
        const char* key;
        const char* owner;
        const char* error;  // null when found
    } cases[] = {
        {object, "vertices", nullptr, nullptr},
        {object, "time", "model", nullptr},
        {object, "uvs", nullptr, "missing \"uvs\""},
        {object, "uvs", "model", "\"model\" has no \"uvs\""},
        {list, "vertices", "collider", "\"collider\" has no \"vertices\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        try {
            const JsonValue& found = JsonFile::member(c.in, c.key, c.owner);
            EXPECT_EQ(c.error, nullptr);
            EXPECT_EQ(&found, &c.in.at(c.key));
        } catch (const std::runtime_error& error) {
            ASSERT_NE(c.error, nullptr) << error.what();
            EXPECT_EQ(std::string(error.what()), c.error);
        }
    }
}
