// The tile-grid games on a bare system (a 1024 x 768 window, no session, no art): boards built
// from the demo's level files or from XML written in the test, and presses sent straight to the
// game. The board's origin is put where the demo art puts it, so exits and cells do not meet.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "quillane/minigames/floorlights/FloorLights.h"
#include "quillane/minigames/wiretap/WireTap.h"
#include "support/EngineLogCapture.h"

namespace gridtest {

// The origin of cell (0, 0) with the demo's 512-pixel grid back in a 1024 x 768 window.
constexpr float kOriginX = 384.0f, kOriginY = 256.0f;

template <class Panel>
struct tBoard : Panel {
  tBoard() {
    this->m_OriginX = kOriginX;
    this->m_OriginY = kOriginY;
  }
  // The board as drawn in a window narrower than the layout, its tiles anchored anew.
  void SetBoardScale(float scale) {
    this->m_BoardScale = scale;
    this->PlaceTiles();
  }
  using Panel::m_Time;
  using Panel::m_EndTime;
  using Panel::m_Exit;
};

struct cl_WireBoard : tBoard<quillane::cl_WiretapPanel> {};

struct cl_LampBoard : tBoard<quillane::cl_FloorLightsPanel> {
  // What Init does after the data file: the board, the fixed terminals, the verdict.
  void Build(const base::Variant& document) {
    BuildGrid(document, "test");
    PlaceTerminals();
    m_Solved = CheckSolved(false);
  }
};

class GridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_log = std::make_unique<testsupport::LogCapture>();
    m_system = std::make_unique<base::cl_System>();
    m_system->SetWindowSize(1024, 768);
  }
  void TearDown() override {
    m_system.reset();
    m_log.reset();
  }

  // A level file of the demo data ("gui/minigames/…").
  static base::Variant Level(const std::string& member) {
    base::Variant doc;
    EXPECT_TRUE(base::xml::read_file(doc, (std::string(QUILLANE_DATA_DIR) + "/" + member).c_str())) << member;
    return doc;
  }
  static base::Variant Xml(const std::string& text) {
    base::Variant doc;
    EXPECT_TRUE(base::xml::read_text(doc, text.c_str()));
    return doc;
  }
  // A grid document of 3 x 3 (or the given Data) from "texture:rotation" cells, row by row.
  static base::Variant Cells(const std::string& data, std::initializer_list<std::pair<int, int>> cells) {
    std::string text = "<Grid>" + data;
    for (const auto& [texture, rotation] : cells)
      text += "<Element Texture=\"" + std::to_string(texture) + "\" Rotation=\"" + std::to_string(rotation) + "\"/>";
    return Xml(text + "</Grid>");
  }

  static float CellX(int column) { return kOriginX + column * 128.0f + 64.0f; }
  static float CellY(int row) { return kOriginY + row * 128.0f + 64.0f; }
  template <class Panel>
  static bool Send(Panel& panel, int type, float x, float y) {
    base::ICMD cmd;
    cmd.type = static_cast<uint8_t>(type);
    cmd.mouseX = static_cast<uint16_t>(x);
    cmd.mouseY = static_cast<uint16_t>(y);
    return panel.HandleInput(cmd);
  }
  template <class Panel>
  static void Press(Panel& panel, float x, float y) {
    Send(panel, base::ICMD::LEFT_DOWN, x, y);
  }
  template <class Panel>
  static void PressCell(Panel& panel, int column, int row, float dx = 0.0f, float dy = 0.0f) {
    Press(panel, CellX(column) + dx, CellY(row) + dy);
  }
  // A turn is a press on the tile and a second one on it.
  template <class Panel>
  static void TurnCell(Panel& panel, int column, int row, int turns = 1) {
    for (int i = 0; i < turns; ++i) {
      PressCell(panel, column, row);
      PressCell(panel, column, row);
    }
  }

  std::unique_ptr<testsupport::LogCapture> m_log;
  std::unique_ptr<base::cl_System> m_system;
};

}  // namespace gridtest
