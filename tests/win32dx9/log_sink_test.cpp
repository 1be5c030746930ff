// The graphics layer's and the texture library's lines reach the engine log while the platform
// runs, and go back to stderr once it has shut down.
#include <string>

#include "dds/Log.h"
#include "platform/gpu/Log.h"
#include "platform/gpux/Dds.h"
#include "shell_test_support.h"

namespace shelltest {
namespace {

class LogSinks : public ShellTest {};

TEST_F(LogSinks, GraphicsAndTextureLinesReachTheEngineLog) {
  testsupport::LogCapture log;
  Configure(kSmallDisplay);
  Start();
  // A damaged texture file: the graphics helpers report it through the graphics layer's log.
  const char junk[] = "DDS not really";
  gpux::DdsImage image;
  EXPECT_FALSE(gpux::ReadDds(junk, sizeof junk, "broken.dds", &image));
  EXPECT_TRUE(log.contains("ERROR: dds 'broken.dds': not a DDS file or header truncated"));
  dds::Log("Warning: texture library line\n");
  EXPECT_TRUE(log.contains("Warning: texture library line"));

  m_system->ShutDown();
  m_system.reset();
  gpu::Log("ERROR: after shut-down\n");  // stderr, not the engine log
  EXPECT_FALSE(log.contains("after shut-down"));
}

}  // namespace
}  // namespace shelltest
