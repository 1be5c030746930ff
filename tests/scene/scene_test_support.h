// Helpers of the scene tests: a scratch data folder (the working directory while a test runs)
// holding copies of the demo scenes, the option that sets the scene detail level, a small
// generated scene for the byte-level tests, and a headless graphics device for drawing tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/Imaging.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "quillane/scene/Scene.h"
#include "support/HeadlessEngine.h"

namespace scenetest {

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Window size of the drawing tests (0: no graphics device).
  virtual int WindowWidth() const { return 0; }
  virtual int WindowHeight() const { return 0; }

  // The option "Gfx/SceneLOD/Value" for detail level (0 full .. 2), or a raw value.
  void SetSceneLod(int level) { SetSceneLodValue(1.0f - 0.5f * static_cast<float>(level)); }
  void SetSceneLodValue(float value);
  bool HasDevice() const { return m_started; }

  testsupport::cl_HeadlessEngine m_engine;        // its folder is the test's; started for drawing tests
  std::unique_ptr<base::cl_System> m_bareSystem;  // the root module without a device
  std::filesystem::path m_dir;
  std::filesystem::path m_previous;
  base::cl_System* m_system = nullptr;  // the engine's or the bare one
  bool m_started = false;
};

// Copies data/Scenes/<name>/ (project, pictures, nav meshes) into the current folder.
void CopyDemoScene(const char* name);
// The tiny scene "Tiny" (64 x 40): a background, a stage bitmap, a stage strip of two frames
// at level 0 shown as a still below it, a light picture, a locator and a hotspot; written into
// Scenes/Tiny/ of the current folder.
void WriteTinyScene();
void WriteTga(const std::string& path, const base::cl_Bitmap32& image);
base::Variant Xml(const char* text);  // the element of an XML text
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// The labels of a layer list, joined by ",".
template <class List>
std::string Labels(const List& list) {
  std::string out;
  for (auto* layer : list) out += (out.empty() ? "" : ",") + std::string(layer->GetLabel().c_str());
  return out;
}

}  // namespace scenetest
