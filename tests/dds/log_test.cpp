#include "dds/Log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_seen;
void Capture(const char* text) { g_seen += text; }

TEST(DdsLog, MessagesReachTheInstalledSink) {
  g_seen.clear();
  dds::SetLogSink(Capture);
  dds::Log("ERROR: level %d of '%s'\n", 3, "a.dds");
  dds::SetLogSink(nullptr);
  dds::Log("to stderr\n");
  EXPECT_EQ(g_seen, "ERROR: level 3 of 'a.dds'\n");
}

}  // namespace
