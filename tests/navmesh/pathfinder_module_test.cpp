// The path-finder test module under a headless root module: scripted input commands go through
// the module tree, and the rendered frame is compared with a reviewed picture (8 × 8 block
// averages, stored as text in data/pathfinder_module.ppm; QUILLANE_UPDATE_GOLDEN=1 rewrites it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../support/HeadlessGpu.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/math/Random.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "navmesh_test_support.h"
#include "quillane/world/PathFinderTest.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace navtest {
namespace {

constexpr int kWidth = 960, kHeight = 600, kBlock = 8;

// A floor of 12 × 8 cells of 50 units with a block of holes, for the ".testfloor" files.
bool LoadTestFloor(const char*, cl_Mesh* mesh) {
  st_FloorSpec s;
  s.cellsX = 12, s.cellsZ = 8, s.cell = 50.0f;
  s.holes = {{4, 2}, {4, 3}, {4, 4}, {5, 4}, {8, 5}, {8, 6}, {8, 7}};
  BuildFloor(*mesh, s);
  return true;
}

class PathFinderModule : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
    ASSERT_TRUE(m_engine.MakeFolder("nav"));
    ASSERT_TRUE(m_engine.Start(kWidth, kHeight));
    m_system = m_engine.GetSystem();
    base::tMultiFileFormatLoader<cl_Mesh>::AddFileFormat("testfloor", LoadTestFloor);
  }
  void TearDown() override {
    m_engine.Stop();
    m_system = nullptr;
  }

  void Send(uint8_t type, int x, int y, uint8_t key = 0) {
    base::ICMD cmd;
    cmd.type = type;
    cmd.key = key;
    cmd.mouseX = static_cast<uint16_t>(x);
    cmd.mouseY = static_cast<uint16_t>(y);
    m_system->ProcessInput(cmd);
  }

  // The frame as 8 × 8 block averages, "r g b" per block.
  std::vector<int> RenderBlocks(quillane::cl_PathFinderTest& module) {
    auto* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    std::vector<int> blocks;
    if (!device->BeginFrame()) return blocks;
    module.Render();
    const std::vector<uint32_t> frame = testsupport::ReadBackBuffer(0, 0, kWidth, kHeight);
    if (!frame.empty()) {
      for (int by = 0; by < kHeight / kBlock; ++by) {
        for (int bx = 0; bx < kWidth / kBlock; ++bx) {
          int sum[3] = {0, 0, 0};
          for (int y = by * kBlock; y < (by + 1) * kBlock; ++y) {
            const uint32_t* row = &frame[static_cast<size_t>(y) * kWidth];
            for (int x = bx * kBlock; x < (bx + 1) * kBlock; ++x) {
              sum[0] += (row[x] >> 16) & 0xFF, sum[1] += (row[x] >> 8) & 0xFF, sum[2] += row[x] & 0xFF;
            }
          }
          for (int c = 0; c < 3; ++c) blocks.push_back(sum[c] / (kBlock * kBlock));
        }
      }
    }
    device->EndFrame();
    return blocks;
  }

  testsupport::cl_HeadlessEngine m_engine;
  base::cl_System* m_system = nullptr;  // the engine's root module
};

TEST_F(PathFinderModule, ScriptedClicksAndObstaclesRenderTheReviewedPicture) {
  base::RandSeed(1);
  auto* module = quillane::cl_PathFinderTest::Create("floor.testfloor");
  ASSERT_TRUE(m_system->AddModule(module));
  ASSERT_FALSE(module->GetNavMesh().GetNodes().empty());

  // A right press before any left press searches from the floor point (0, 0).
  const auto& camera = module->GetCamera();
  const auto goal = camera.World2Screen(V2(560, 380));
  Send(base::ICMD::RIGHT_DOWN, int(goal.x), int(goal.y));
  ASSERT_GE(module->GetPath().size(), 2u);
  EXPECT_EQ(module->GetPath().front(), tPoint(0, 0, 0));

  Send(base::ICMD::KEY_PRESSED, 0, 0, 'R');
  Send(base::ICMD::KEY_PRESSED, 0, 0, 'R');
  ASSERT_EQ(module->GetObstacles().size(), 20u);
  for (const tPoint& o : module->GetObstacles()) {
    EXPECT_TRUE(o.x >= 0.0f && o.x <= 600.0f && o.y >= 0.0f && o.y <= 400.0f);
    EXPECT_EQ(o.z, 50.0f);
  }

  const auto start = camera.World2Screen(V2(30, 30));
  Send(base::ICMD::LEFT_DOWN, int(start.x), int(start.y));
  Send(base::ICMD::RIGHT_DOWN, int(goal.x), int(goal.y));
  const tPointList& path = module->GetPath();
  ASSERT_GE(path.size(), 2u);
  EXPECT_NEAR(path.front().x, 30.0f, 1.0f);
  EXPECT_NEAR(path.back().x, 560.0f, 1.0f);
  m_system->Update(0.0f, 0.1f);

  const std::vector<int> blocks = RenderBlocks(*module);
  ASSERT_EQ(blocks.size(), size_t(3 * (kWidth / kBlock) * (kHeight / kBlock)));
  const std::string golden = std::string(QUILLANE_TEST_DIR) + "/data/pathfinder_module.ppm";
  if (std::getenv("QUILLANE_UPDATE_GOLDEN")) {
    std::ofstream out(golden);
    out << "P3\n" << kWidth / kBlock << " " << kHeight / kBlock << "\n255\n";
    for (size_t i = 0; i < blocks.size(); ++i) out << blocks[i] << ((i % 3 == 2) ? "\n" : " ");
  }
  std::ifstream in(golden);
  ASSERT_TRUE(in) << golden;
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  std::vector<int> expected(blocks.size());
  for (int& v : expected) in >> v;
  ASSERT_TRUE(in) << "golden picture too short";
  int off = 0, drawn = 0;
  for (size_t i = 0; i < blocks.size(); i += 3) {
    bool differs = false;
    for (int c = 0; c < 3; ++c) differs |= std::abs(blocks[i + c] - expected[i + c]) > 16;
    off += differs;
    drawn += blocks[i] != 60 || blocks[i + 1] != 70 || blocks[i + 2] != 80;
  }
  EXPECT_LE(off, int(blocks.size() / 3 / 100)) << "blocks off the reviewed picture";
  EXPECT_GT(drawn, 200) << "the graph, boundary, path and obstacles are drawn over the background";
}

}  // namespace
}  // namespace navtest
