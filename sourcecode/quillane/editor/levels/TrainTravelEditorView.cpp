// The train-travel editor's editing view: the level's background, the tracks, the stations with
// their roles and flags, the figures, the stations' texts, the Ctrl-drag's line, the board's
// frame and the status line. The pictures are drawn in the states they need, set before each:
// the window's black fill leaves a flat colour in which a picture comes out black, and only a
// board with a track once set them again by chance.
#include <string>

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/levels/TrainTravelEditor.h"

namespace quillane {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kOutline = 0xFF191919u;  // (25, 25, 25)

}  // namespace

void cl_TrainTravelEditor::Render(float x, float y) {
  ReadPictures();
  gfx::Begin2D();
  gfx::SetBlendNone();
  // The board covers the window, also while play-tested: the scene being edited and its panel
  // would show through a board without a background, and around a smaller one, as if they still
  // took the clicks.
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), kBlack);
  if (m_Playing) {
    cl_TrainTravelPanel::Render(x, y);
    return;
  }
  if (m_DraggingBackground) {
    m_BackgroundX = m_MousePos.x - m_GrabOffset.x;
    m_BackgroundY = m_MousePos.y - m_GrabOffset.y;
  }
  DrawBackground();  // the game's, here at scale 1 and without its offset
  PreparePictures();
  DrawTracks();
  DrawStations();
  PreparePictures();
  DrawFigures();
  if (m_ShowText) DrawStationTexts();
  if (m_LinkStartNode > -1) {
    const st_TrainNode& start = m_Nodes[m_LinkStartNode];
    const float half = static_cast<float>(s_NodeSize / 2);
    gfx::DrawLine(start.m_X + half, start.m_Y + half, m_MousePos.x, m_MousePos.y, kWhite, 1.0f);
  }
  gfx::DrawLine(0.0f, 0.0f, m_BoardWidth, 0.0f, kWhite, 2.0f);
  gfx::DrawLine(0.0f, 0.0f, 0.0f, m_BoardHeight, kWhite, 2.0f);
  gfx::DrawLine(m_BoardWidth, 0.0f, m_BoardWidth, m_BoardHeight, kWhite, 2.0f);
  gfx::DrawLine(0.0f, m_BoardHeight, m_BoardWidth, m_BoardHeight, kWhite, 2.0f);
  DrawEditorInfo();
  gfx::SetBlendNone();
}

void cl_TrainTravelEditor::DrawStations() {
  for (int i = 0; i < m_NodeCount; ++i) {
    const st_TrainNode& node = m_Nodes[i];
    const float nx = static_cast<float>(static_cast<int>(node.m_X));
    const float ny = static_cast<float>(static_cast<int>(node.m_Y));
    PreparePictures();
    DrawPicture(i == m_HoverNode ? PictureNodeHighlight : PictureNode, nx, ny, 1.0f);
    if (node.m_Flags & (st_TrainNode::Origin | st_TrainNode::Destination)) DrawPicture(PictureStartNode, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::ExitNode)) DrawPicture(PictureExit, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::OutOfOrder)) DrawPicture(PictureOutOfOrder, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::DoubleTurn)) DrawPicture(PictureDoubleTurn, nx, ny, 1.0f);
    if (node.HasFlags(st_TrainNode::SaveHaven)) DrawPicture(PictureSaveHaven, nx, ny, 1.0f);
  }
}

void cl_TrainTravelEditor::DrawStationTexts() {
  for (int i = 0; i < m_NodeCount; ++i) {
    const st_TrainNode& node = m_Nodes[i];
    base::String id, flags;
    id.print("ID: %d\n%s", node.m_Id, node.m_Name.c_str());
    flags.print("%s%sOrigin Distance: %d Destination Distance: %d%s%s", node.HasFlags(st_TrainNode::Origin) ? "Origin " : "",
                node.HasFlags(st_TrainNode::Destination) ? "Destination " : "", node.m_OriginDistance,
                node.m_DestinationDistance, node.HasFlags(st_TrainNode::NoAgent) ? " No Agents" : "",
                node.HasFlags(st_TrainNode::NoOutOfOrder) ? " No OutOfOrder" : "");
    gfx::DrawTextOutlined(static_cast<int>(node.m_X + s_NodeSize + 5), static_cast<int>(node.m_Y), id.c_str(), kWhite,
                          kOutline);
    gfx::DrawTextOutlined(static_cast<int>(node.m_X), static_cast<int>(node.m_Y + s_NodeSize), flags.c_str(), kWhite,
                          kOutline);
  }
}

// ---- status line

base::String cl_TrainTravelEditor::GetEditorInfo() {
  // "saved" and a refusal speak of the board as it was then.
  if ((!m_Message.empty() || !m_Outcome.empty()) && GraphText() != m_OutcomeBoard) {
    m_Message.clear();
    m_Outcome.clear();
  }
  base::String line;
  line.print("Filename: %s Background Image: %s Num o Nodes: %d", GetLevelPath(m_GraphFile).c_str(),
             m_BackgroundFile.c_str(), m_NodeCount);
  if (!m_Outcome.empty()) {
    line += "; ";
    line += m_Outcome;
  }
  line += " --------------------------- Errors: ";
  if (m_OriginNode == -1) line += " No Origin Node!";
  if (m_DestinationNode == -1) line += " No Destination Node!";
  const int hops = ShortestPathLength(m_OriginNode, m_DestinationNode, true);
  if (hops == -1 || hops == kNoRoute) line += " No Path from Origin to Destination!";
  if (!m_Message.empty()) {
    line += " ";
    line += m_Message;
  }
  return line;
}

void cl_TrainTravelEditor::DrawEditorInfo() {
  gfx::DrawTextOutlined(10, 660, "TrainTravel Editor", kWhite, kOutline);
  gfx::DrawTextOutlined(10, 680, "---------------------------", kWhite, kOutline);
  // A long file name or several errors wrap, and the block rises to stay in the window.
  const std::string& info =
      m_info.Get(GetEditorInfo().c_str(), static_cast<float>(base::sys::GetWindowWidth()) - 20.0f);
  const base::tVector2<float> at = gfx::KeepTextInWindow(10.0f, 700.0f, info.c_str());
  gfx::DrawTextOutlined(static_cast<int>(at.x), static_cast<int>(at.y), info.c_str(), kWhite, kOutline);
}

}  // namespace quillane
