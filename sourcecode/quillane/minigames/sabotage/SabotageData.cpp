// The Sabotage game's compiled data file "gui/minigames/sabotage.dat" (the panels' strips, the
// grid's textures, the skip strip), the pictures it finds by label, and its mark in the game
// state.
#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/core/GameState.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/sabotage/SabotageGrid.h"
#include "quillane/minigames/sabotage/SabotageMixer.h"
#include "quillane/minigames/sabotage/SabotagePumps.h"

namespace quillane {

namespace {

constexpr const char* kStripFolder = "gui/minigames/sabotage/texturestrips/";
constexpr const char* kFirstSolved = "Missions/Minigames/Sabotage/FirstSolved";
// Without its tiles the game is not built (as the other games without their art).
constexpr const char* kKeyPicture = "gui/minigames/sabotage/tile00.tga";

// ORDER RECORDS: the data file's records before the skip strip. A strip is compiled from its
// folder under kStripFolder and read into its element; GRID stands for the grid's 21 textures.
enum en_Slot { SLOT_RESET, SLOT_GRID, SLOT_ALARM1, SLOT_ALARM2, SLOT_TUBE1, SLOT_TUBE2, SLOT_TUBE3 };
struct st_Record {
  en_Slot slot;
  const char* strip;
};
constexpr st_Record kRecords[] = {
    {SLOT_RESET, "phase01_reset"},        {SLOT_GRID, nullptr},
    {SLOT_ALARM1, "phase03_alertlight1"}, {SLOT_ALARM2, "phase03_alertlight2"},
    {SLOT_TUBE1, "phase03_tubelight1"},   {SLOT_TUBE2, "phase03_tubelight2"},
    {SLOT_TUBE3, "phase03_tubelight3"},
};

// The pictures the panels find by label.
constexpr const char* kImageLabels[] = {
    "nophase_bg",          "phase1_bg",        "phase1_bg_overlay", "phase1_slot",       "phase2_bg",
    "phase2_flag_overlay", "phase3_bg",        "phase3_bg_back",    "phase3_fluid_cap1", "phase3_fluid_cap2",
    "phase3_fluid_cap3",   "phase3_tubemeter", "phase3_exit",
};
constexpr const char* kTextureLabels[] = {
    "phase1_knob",   "phase2_flag",   "phase2_fluid1",  "phase2_fluid2",  "phase2_fluid3",  "phase3_fluid1",
    "phase3_fluid2", "phase3_fluid3", "phase3_button1", "phase3_button2", "phase3_button3",
};

}  // namespace

bool cl_Sabotage::ArchiveDataFile(cl_MinigameDataFile& file) {
  for (const st_Record& record : kRecords) {
    if (record.slot == SLOT_GRID) {
      m_Phase2->ArchiveTextures(file);
      continue;
    }
    cl_ActionElement& element = record.slot == SLOT_RESET    ? m_Phase1->GetResetButton()
                                : record.slot == SLOT_ALARM1 ? m_Phase2->GetLight(1)
                                : record.slot == SLOT_ALARM2 ? m_Phase2->GetLight(2)
                                                             : m_Phase3->GetTubeLight(record.slot - SLOT_TUBE1);
    if (file.IsReading()) {
      element.ReadStrip(file, m_DrawScale);
    } else {
      // The game plays the copies it reads back; this one only writes the record.
      gfx::cl_TextureStrip strip;
      CompileStrip(strip, (base::String(kStripFolder) + record.strip).c_str());
      file.Record(strip);
    }
  }
  return file.Finish(*this);
}

bool cl_Sabotage::Compile(const char* dataFile) {
  base::sys::Output("Compile Sabotage Minigame\n");
  if (!base::FileExists(kKeyPicture)) {
    base::sys::Output("Compile Sabotage Minigame Error! Texture %s not exists!\n", kKeyPicture);
    return false;
  }
  m_Phase2->CompileTextures();
  if (!CompilePanicStrip("gui/minigames/sabotage/texturestrips/panicbutton")) return false;
  cl_MinigameDataFile file;
  return file.OpenWrite(dataFile) && ArchiveDataFile(file);
}

void cl_Sabotage::CheckLabels() const {
  for (const char* label : kImageLabels)
    if (!gfx::ImageExists(label)) base::sys::Output("ERROR: Sabotage: no picture \"%s\"; it is not drawn\n", label);
  for (const char* label : kTextureLabels)
    if (!gfx::TextureExists(label)) base::sys::Output("ERROR: Sabotage: no texture \"%s\"; it is not drawn\n", label);
}

void cl_Sabotage::DrawLabelImage(const char* label, float x, float y, float scale) {
  if (gfx::cl_Image* image = gfx::ImageExists(label)) gfx::DrawImage(image, x, y, scale);
}

bool cl_Sabotage::IsFirstSolved() {
  base::Variant* state = GetGameState();
  const base::Variant* value = state ? base::variant_get_attribute_by_path(*state, kFirstSolved, false) : nullptr;
  return value && value->get_int() == 1;
}

void cl_Sabotage::SetFirstSolved() {
  base::Variant* state = GetGameState();
  if (base::Variant* value = state ? base::variant_get_attribute_by_path(*state, kFirstSolved, true) : nullptr)
    value->set_int(1);
}

}  // namespace quillane
