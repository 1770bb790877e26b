#include "app/TransportMessages.h"

#include <gtest/gtest.h>

TEST(TransportMessages, SayHowLongARequestWaited) {
    EXPECT_EQ(TransportMessages::noAnswerWithin(700), "no answer within 700 ms");
    EXPECT_EQ(TransportMessages::noAnswerWithin(15000), "no answer within 15000 ms");
}
