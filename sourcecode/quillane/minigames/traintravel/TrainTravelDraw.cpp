// Drawing of the train-travel board and game: background, seeded tracks, stations with their
// overlays, the figures and the status and legend texts.
#include <algorithm>

#include "base/math/Function2.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/traintravel/TrainTravel.h"
#include "quillane/screen/FontScope.h"
#include "quillane/text/Localised.h"

namespace quillane {

namespace {

constexpr uint32_t kTextColour = 0xFF3C352Cu;  // (60, 53, 44)
constexpr const char* kItemTexts[] = {"#train4_4600 Place Out Of Order", "#train4_4620 Place Save Haven",
                                      "#train4_4640 Place Doubleturn"};
constexpr cl_TrainTravelPanel::en_Picture kItemPictures[] = {cl_TrainTravelPanel::PictureOutOfOrder,
                                                             cl_TrainTravelPanel::PictureSaveHaven,
                                                             cl_TrainTravelPanel::PictureDoubleTurn};
constexpr const char* kItemCursors[] = {"cursor_outoforder", "cursor_savehaven", "cursor_doubleturn"};
constexpr const char* kStateTexts[] = {"", "#train4_4684 Quil, make your move", "#train4_4700 Catched and Arrested!!!",
                                       "#train4_4716 Travel Over!!!!"};
constexpr const char* kDifficultyTexts[] = {"#train4_5564 Easy", "#train4_5565 Medium", "#train4_5566 Hard"};

// The font of the game's texts: its own when declared, else the game's common one.
gfx::cl_Font* TextFont() {
  gfx::cl_Font* font = gfx::FontExists("train_travel");
  return font ? font : gfx::FontExists("game");
}

}  // namespace

void cl_TrainTravelPanel::PreparePictures() {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
}

cl_TrainTravelPanel::st_TextPlace cl_TrainTravelPanel::PlaceTextsIn(float areaTop, float areaHeight, float scale) {
  // Measured up from the area's bottom: the board picture is shorter than the window, and
  // places fixed from the window's top fall into the black band below the picture.
  const float bottom = areaTop + areaHeight - 3.0f * scale;
  st_TextPlace place;
  place.statusTopLeft = {50.0f * scale, bottom - 50.0f * scale};
  place.statusBottomRight = {300.0f * scale, bottom};
  place.legend = {715.0f * scale, bottom - 144.0f * scale};
  return place;
}

void cl_TrainTravelPanel::LayoutTexts() {
  const float scale = GetScale();
  const float areaHeight = m_Images[PictureBackground]
                               ? scale * static_cast<float>(m_Images[PictureBackground]->GetHeight())
                               : static_cast<float>(base::sys::GetWindowHeight()) - 2.0f * m_OffsetY;
  const st_TextPlace place = PlaceTextsIn(m_OffsetY, areaHeight, scale);
  m_StatusBox[0] = place.statusTopLeft;
  m_StatusBox[1] = place.statusBottomRight;
  m_LegendPos = place.legend;
}

void cl_TrainTravelPanel::DrawPicture(en_Picture picture, float x, float y, float scale) {
  if (m_Images[picture]) gfx::DrawImage(m_Images[picture], x, y, scale);
}

void cl_TrainTravelPanel::DrawBackground() {
  if (!m_HasBackground) return;
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), 0xFF000000u);
  gfx::SetBlendNone();
  DrawPicture(PictureBackground, m_BackgroundX, m_BackgroundY + GetOffsetY(), GetScale());
}

void cl_TrainTravelPanel::BuildTrack(base::Polygon2& out, int a, int b) {
  out.points.clear();
  if (a < 0 || b < 0 || a >= m_NodeCount || b >= m_NodeCount) return;
  const int lo = std::min(a, b), hi = std::max(a, b);
  // The shapes need the global generator seeded per track. Carry the play's own random stream
  // on from a draw taken first, so restarts still get fresh closures and agents.
  const int resume = base::Rand();
  // Seeded by the pair and the board's seed, not by the station count: a station added in the
  // editor redrew every other track in another shape.
  base::RandSeed(kMaxNodes * lo + m_RandomSeed + hi);
  const float half = static_cast<float>(s_NodeSize / 2);
  base::Polygon2 line, rough;
  line.points = {{m_Nodes[lo].m_X + half, m_Nodes[lo].m_Y + half}, {m_Nodes[hi].m_X + half, m_Nodes[hi].m_Y + half}};
  for (float factor : {0.2f, 0.4f, 0.6f}) {
    line.Roughen(rough, factor);
    line.points.swap(rough.points);
  }
  if (a > b) std::reverse(line.points.begin(), line.points.end());
  line.Smooth(out, 2);
  base::RandSeed(resume);
}

void cl_TrainTravelPanel::DrawTracks() {
  base::Polygon2 track;
  Function2 curve;
  for (int i = 0; i < m_NodeCount; ++i) {
    const st_TrainNode& node = m_Nodes[i];
    for (int l = 0; l < node.m_LinkCount; ++l) {
      const int other = node.m_Links[l];
      if (other <= i || other >= m_NodeCount) continue;  // drawn once, from the lower index
      BuildTrack(track, i, other);
      curve.Clear();
      for (const auto& p : track.points) curve.AddPoint(p.x, p.y);
      PreparePictures();
      gfx::DrawTextureTiled(curve, &m_RailTexture, GetScale());
    }
  }
}

void cl_TrainTravelPanel::DrawNodes() {
  for (int i = 0; i < m_NodeCount; ++i) {
    const st_TrainNode& node = m_Nodes[i];
    const float x = static_cast<float>(static_cast<int>(node.m_X)), y = static_cast<float>(static_cast<int>(node.m_Y));
    const bool hover = i == m_HoverNode, allowed = m_HoverValid || i == m_PlayerNode;
    en_Picture picture = PictureNode;
    if (node.m_Flags & (st_TrainNode::Origin | st_TrainNode::Destination))
      picture = hover ? (allowed ? PictureStartNodeHighlight : PictureStartNodeInvalid) : PictureStartNode;
    else if (node.HasFlags(st_TrainNode::ExitNode))
      picture = PictureExit;
    else if (hover)
      picture = allowed ? PictureNodeHighlight : PictureNodeInvalid;
    PreparePictures();
    DrawPicture(picture, x, y, GetScale());
    if (node.HasFlags(st_TrainNode::OutOfOrder)) DrawPicture(PictureOutOfOrder, x, y, GetScale());
    if (node.HasFlags(st_TrainNode::DoubleTurn)) DrawPicture(PictureDoubleTurn, x, y, GetScale());
    if (node.HasFlags(st_TrainNode::SaveHaven)) DrawPicture(PictureSaveHaven, x, y, GetScale());
  }
}

void cl_TrainTravelPanel::DrawFigures() {
  if (m_PlayerNode > -1) DrawPicture(PictureQuil, m_PlayerFigurePos.x, m_PlayerFigurePos.y, GetScale());
  for (int i = 0; i < m_AgentCount; ++i) {
    const float pulse = m_AgentPulse[i] != 0.0f ? m_AgentPulse[i] + 0.5f : 1.0f;
    DrawPicture(PictureAgent, m_AgentFigurePos[i].x, m_AgentFigurePos[i].y, GetScale() * pulse);
  }
}

void cl_TrainTravelPanel::Render(float, float) {
  gfx::Begin2D();
  PreparePictures();
  DrawBackground();
  PreparePictures();
  DrawTracks();
  DrawNodes();
  PreparePictures();
  DrawFigures();
  PreparePictures();
  DrawTexts();
  PreparePictures();
  DrawTutorial();
  PreparePictures();
  DrawSkipButton(0.0f, m_OffsetY, GetScale());
  gfx::SetBlendNone();
}

void cl_TrainTravelPanel::DrawTexts() {
  cl_FontScope font(TextFont());
  const base::Variant saved = gfx::GetFontProperties();
  base::Variant properties;
  properties.set_element("Properties");
  properties.attribute("alignment")->set_string("left");
  properties.attribute("v_alignment")->set_string("center");
  gfx::SetFontProperties(properties);

  // Legend: one row per item picture.
  float rowY = m_LegendPos.y;
  for (int item = 0; item < 3; ++item) {
    gfx::cl_Image* picture = m_Images[kItemPictures[item]];
    if (!picture) continue;
    gfx::DrawImage(picture, m_LegendPos.x, rowY, 1.0f);
    const float h = static_cast<float>(static_cast<int>((picture->GetHeight() - 5) * m_Scale));
    // The text column ends at the window's edge, where a long translation wraps.
    const float textX = m_LegendPos.x + picture->GetWidth() + 20.0f;
    const float textW = std::min(300.0f, static_cast<float>(base::sys::GetWindowWidth()) - textX);
    gfx::DrawTextBoxW(textX, rowY, textW, h, Localised(kItemTexts[item]).c_str(), kTextColour);
    rowY += h;
  }

  // Status line.
  const float boxW = m_StatusBox[1].x - m_StatusBox[0].x, boxH = m_StatusBox[1].y - m_StatusBox[0].y;
  const int item = CurrentItem();
  base::tString<base::BaseUnicodeString> status;
  // The cursor shows the item a click places; once all are placed, the game's own.
  SetGameCursor(m_State == PlacingItems && item >= 0 ? kItemCursors[item] : "gamecursor");
  if (m_State == PlacingItems) {
    if (item >= 0) status = Localised(kItemTexts[item]);
  } else {
    status = Localised(kStateTexts[std::clamp(m_State, 1, 3)]);
  }
  gfx::DrawTextBoxW(m_StatusBox[0].x, m_StatusBox[0].y, boxW, boxH, status.c_str(), kTextColour);
  if (m_State == PlacingItems && item >= 0 && m_Images[PictureOutOfOrder]) {
    float x0 = static_cast<float>(static_cast<int>(m_StatusBox[0].x));
    const float y0 = static_cast<float>(
        static_cast<int>(m_StatusBox[0].y + (boxH - m_Images[PictureOutOfOrder]->GetHeight()) / 2.0f));
    DrawPicture(kItemPictures[item], x0 + gfx::GetTextWidthW(status.c_str()) + 10.0f, y0, 1.0f);
    for (int other = 0; other < 3; ++other) {
      if (other == item || !m_ItemAvailable[other]) continue;
      DrawPicture(kItemPictures[other], x0 - 2.0f, y0 + 28.0f, 0.65f);
      x0 += 18.0f;
    }
  }

  // Try and difficulty, ending at the window's right edge.
  base::tString<base::BaseUnicodeString> line = Localised("#train4_5528 Try:");
  base::tString<base::BaseUnicodeString> number;
  number.print(u" %d      ", m_Tries + 1);
  line += number;
  line += Localised("#train4_5552 Difficulty:");
  line += u" ";
  line += Localised(kDifficultyTexts[std::clamp(m_Difficulty, 1, 3) - 1]);
  const float width = gfx::GetTextWidthW(line.c_str());
  gfx::DrawTextBoxW(static_cast<float>(base::sys::GetWindowWidth()) - width - 1.0f, m_StatusBox[0].y, width + 1.0f,
                    boxH, line.c_str(), kTextColour);
  if (!saved.is_void()) gfx::SetFontProperties(saved);
}

}  // namespace quillane
