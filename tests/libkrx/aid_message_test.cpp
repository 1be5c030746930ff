#include <gtest/gtest.h>
#include "libkrx/AID/Message.h"
TEST(AidMessage, Placeholder) { EXPECT_EQ(AID::Message::Create(0)->Size(), 88u); }
