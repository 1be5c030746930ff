#include "dds/Log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using DdsLogCapture = testsupport::tLogCapture<testsupport::tSinkLog<&dds::SetLogSink>>;

TEST(DdsLog, MessagesReachTheInstalledSink) {
  std::string seen;
  {
    DdsLogCapture log;
    dds::Log("ERROR: level %d of '%s'\n", 3, "a.dds");
    seen = log.text();
  }
  dds::Log("to stderr\n");
  EXPECT_EQ(seen, "ERROR: level 3 of 'a.dds'\n");
}

}  // namespace
