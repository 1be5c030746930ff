// Shared set-up of the actor tests: a scratch working folder holding a copy of the demo figures'
// sources and actor list (so imports and compiled files never touch the data folder), a system
// root whose configuration carries the character level of detail, the bitmap and Ogre importers,
// and the engine log captured. Also a stand-in character for the channels and the walker.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../base/test_support.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/actor/AnimChannel.h"
#include "quillane/actor/WalkSpeed.h"
#include "quillane/core/Event.h"
#include "support/CountingEvent.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/WorldServices.h"

namespace actortest {

namespace fs = std::filesystem;
using quillane::cl_ActorDesc;
using quillane::cl_ActorRegistry;

inline fs::path DemoCharacters() { return fs::path(QUILLANE_DATA_DIR) / "characters"; }
inline bool HaveDemoFigures() { return fs::exists(DemoCharacters() / "female" / "female_skeleton.xml"); }

// A character as the channels and the walker see it.
class cl_TestCharacter : public quillane::i_AnimCharacter {
 public:
  cl_TestCharacter(cl_ActorDesc* actor, const char* name) : m_actor(actor), m_name(name) {}
  cl_ActorDesc* GetActor() const override { return m_actor; }
  const char* GetName() const override { return m_name.c_str(); }

 private:
  cl_ActorDesc* m_actor;
  std::string m_name;
};

// A completion callback that counts how often it ran and whether it was deleted.
using st_EventLog = testsupport::st_EventCounts;
using testsupport::cl_CountingEvent;

class ActorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDemoFigures()) GTEST_SKIP() << "demo data not generated";
    m_oldCwd = fs::current_path();
    fs::copy(DemoCharacters(), m_dir.path("characters"), fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(m_dir.path("characters"))) {
      const std::string name = entry.path().filename().string();
      // Engine outputs of an earlier run of the game in data/ are not sources.
      if (name.ends_with(".dat") || name.ends_with("_protocol.txt") || name.ends_with(".bmo"))
        fs::remove(entry.path());
    }
    fs::current_path(m_dir.path());
    m_system = std::make_unique<base::cl_System>();
    m_system->SetUserDataPath(m_dir.path().c_str());
    SetCharacterLevelOption(1.0f);  // level 0
    gfx::RegisterBitmapLoaders();
    base::RegisterSkeletonResourceType();
    ResetTweakSettings();
    quillane::ClearWalkSpeedCurves();
    m_log = std::make_unique<testsupport::LogCapture>();
  }
  void TearDown() override {
    m_log.reset();
    m_system.reset();
    ResetTweakSettings();
    quillane::ClearWalkSpeedCurves();
    quillane::WorldServices() = quillane::st_WorldServices();
    if (!m_oldCwd.empty()) fs::current_path(m_oldCwd);
  }

  // The option "Gfx/CharacterLOD/Value" (1.0: level 0, 0.5: level 1, 0.0: level 2).
  void SetCharacterLevelOption(float value) {
    m_dir.write("config.xml", "<Config><Options><Gfx><CharacterLOD Value=\"" + std::to_string(value) +
                                  "\"/></Gfx></Options></Config>");
    ASSERT_TRUE(m_system->LoadConfig(nullptr));
  }

  // A registry over the copied demo list.
  std::unique_ptr<cl_ActorRegistry> DemoRegistry() {
    auto r = std::make_unique<cl_ActorRegistry>();
    EXPECT_TRUE(r->LoadActorList("characters/characters.xml"));
    return r;
  }

  // A registry of the female figure's skeleton alone (no mesh, no textures: quick to import) and
  // "odo", who borrows it.
  std::unique_ptr<cl_ActorRegistry> FigureRegistry() {
    m_dir.write("figures.xml",
                "<Characters><Character label=\"female\"><Skeleton file=\"characters/female/female_skeleton.xml\">"
                "<UseReposition label=\"walk\"/><AnimationSet file=\"characters/female/female_face.xml\"/>"
                "<Subsets file=\"characters/female/female_subsets.xml\"/></Skeleton></Character>"
                "<Character label=\"odo\" parent=\"female\"/></Characters>");
    auto r = std::make_unique<cl_ActorRegistry>();
    EXPECT_TRUE(r->LoadActorList("figures.xml"));
    return r;
  }

  std::string Read(const std::string& name) const { return m_dir.read(name); }
  bool Exists(const std::string& name) const { return fs::exists(m_dir.path(name)); }

  testsupport::TempDir m_dir;
  fs::path m_oldCwd;
  std::unique_ptr<base::cl_System> m_system;
  std::unique_ptr<testsupport::LogCapture> m_log;
};

// Width and height of a DDS file image (0, 0 when it is none).
inline std::pair<int, int> DdsSize(const base::Binary& dds) {
  if (dds.size() < 20 || std::memcmp(dds.get_buffer(), "DDS ", 4) != 0) return {0, 0};
  int h = 0, w = 0;
  std::memcpy(&h, dds.get_buffer() + 12, 4);
  std::memcpy(&w, dds.get_buffer() + 16, 4);
  return {w, h};
}
inline std::string DdsFourCC(const base::Binary& dds) {
  if (dds.size() < 88) return "";
  return std::string(reinterpret_cast<const char*>(dds.get_buffer()) + 84, 4);
}

// An uncompressed 32-bit TGA of w × h pixels of one colour (B, G, R, A).
inline std::string Tga(int w, int h, uint8_t alpha) {
  std::string t(18, '\0');
  t[2] = 2;
  t[12] = static_cast<char>(w & 255), t[13] = static_cast<char>(w >> 8);
  t[14] = static_cast<char>(h & 255), t[15] = static_cast<char>(h >> 8);
  t[16] = 32;
  t[17] = 8;
  for (int i = 0; i < w * h; ++i) t += std::string{'\x40', '\x60', '\x80', static_cast<char>(alpha)};
  return t;
}

}  // namespace actortest
