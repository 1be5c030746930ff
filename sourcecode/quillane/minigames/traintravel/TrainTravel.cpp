#include "quillane/minigames/traintravel/TrainTravel.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <string>
#include <string_view>

#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/data/VariantTools.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/font/Font.h"
#include "graphics/image/Image.h"
#include "quillane/core/GameState.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

constexpr const char* kRailFile = "gui/minigames/traintravel/rail.tga";
constexpr const char* kTutorialPrefix = "Missions/Minigames/TrainTravel";
constexpr const char* kTheme = "TrainTravelTheme";

// ORDER IMAGES: the labels of the board's pictures before the background, by en_Picture.
constexpr const char* kImageLabels[] = {"TT_Node",        "TT_StartNode",  "TT_StartNodeHighlight",
                                        "TT_StartNodeInvalid", "TT_NodeHighlight", "TT_NodeInvalid",
                                        "TT_Exit",        "TT_OutOfOrder", "TT_SaveHaven",
                                        "TT_DoubleTurn",  "TT_Quil",       "TT_Agent"};
static_assert(std::size(kImageLabels) == cl_TrainTravelPanel::PictureBackground);
constexpr const char* kItemTriggers[] = {"SetOutOfOrder", "SetSaveHaven", "SetDoubleTurn"};
constexpr uint32_t kItemFlags[] = {st_TrainNode::OutOfOrder, st_TrainNode::SaveHaven, st_TrainNode::DoubleTurn};

// Skill bonus by difficulty (rows 1..3) and tries (columns 0..4).
constexpr int kSkillBonus[3][5] = {{100, 80, 60, 40, 20}, {200, 160, 120, 80, 40}, {500, 400, 300, 200, 100}};

sfx::st_PlayParams Params(float volume, bool loop, bool ignoreFx) {
  sfx::st_PlayParams params;
  params.volume = volume;
  params.pan = 1.0f;
  params.loop = loop;
  params.ignoreFx = ignoreFx;
  return params;
}

}  // namespace

bool st_TrainMover::Update(float dt) {
  m_Elapsed += dt;
  m_Progress += m_Step;
  if (m_Pulse) {
    if (m_Progress > std::numbers::pi_v<float>) m_Progress = 0.0f;
    m_Figure[0] = std::sin(m_Progress) + 0.15f;
    if (m_Duration > 0.0f && m_Elapsed >= m_Duration) {
      m_Figure[0] = 0.0f;
      return true;
    }
    return false;
  }
  if (m_Progress >= 1.0f || m_Path.size() == 0) {
    m_Figure[0] = m_Target.x;
    m_Figure[1] = m_Target.y;
    return true;
  }
  const base::tVector2<float> at = m_Path.PointAtDistance(m_Progress * m_Path.Length());
  m_Figure[0] = at.x;
  m_Figure[1] = at.y;
  return false;
}

cl_TrainTravelPanel::cl_TrainTravelPanel() {
  m_Label = "TrainTravelGame";
  std::fill(std::begin(m_AgentNodes), std::end(m_AgentNodes), -1);
  const float w = static_cast<float>(base::sys::GetWindowWidth()) / 2.0f;
  const float h = static_cast<float>(base::sys::GetWindowHeight()) / 2.0f;
  const std::pair<const char*, const char*> tutorials[] = {
      {"#train4_1092 Travel station by station to the far end of the line. An agent who reaches your station "
       "arrests you and sends you back to the start. You can give up by leaving the network at the exit.",
       "Start"},
      {"#train4_1108 A station is out of service: avoid it.", "OutOfOrder"},
      {"#train4_1124 More agents are on the move.", "ManyAgents"},
      {"#train4_1140 You may close one station.", "SetOutOfOrder"},
      {"#train4_1156 You may turn one station into a sanctuary no agent can use.", "SetSaveHaven"},
      {"#train4_1172 You may choose one station at which you move again at once.", "SetDoubleTurn"},
  };
  for (const auto& [text, trigger] : tutorials) m_Tutorials.emplace_back(text, w, h, 400, 4, trigger, 10.0f);
}

cl_TrainTravelPanel::~cl_TrainTravelPanel() = default;

// ---- Compiled data

bool cl_TrainTravelPanel::Compile(const char* dataFile) {
  base::sys::Output("Compile TrainTravel Minigame\n");
  // Without its art the game is not built here (as the other games do): no data file, no start.
  if (!base::FileExists(kRailFile)) {
    base::sys::Output("Compile TrainTravel Minigame Error! Texture %s not exists!\n", kRailFile);
    return false;
  }
  if (!m_RailTexture.SetFileA8R8G8B8(kRailFile) || !m_RailTexture.Load())
    base::sys::Output("ERROR: %s: the rail picture cannot be loaded\n", kRailFile);
  if (!CompilePanicStrip("gui/minigames/traintravel/texturestrips/panicbutton")) return false;
  return WriteCompiledData(dataFile);
}

bool cl_TrainTravelPanel::WriteCompiledData(const char* fileName) {
  cl_MinigameDataFile file;
  if (!file.OpenWrite(fileName)) return false;
  file.Record(m_RailTexture);
  return file.Finish(*this);
}

bool cl_TrainTravelPanel::ReadCompiledData() {
  bool ok = true;
  for (int i = 0; i < cl_TrainTravelPanel::PictureBackground; ++i) {
    m_Images[i] = gfx::ImageExists(kImageLabels[i]);
    if (!m_Images[i]) {
      base::sys::Output("ERROR: traintravel: no picture \"%s\"\n", kImageLabels[i]);
      ok = false;
    }
  }
  cl_MinigameDataFile file;
  if (!file.OpenRead(m_DataFile.c_str())) return false;
  file.Record(m_RailTexture);
  return file.Finish(*this) && ok;
}

// ---- Start and end

bool cl_TrainTravelPanel::Init(base::Variant* mission, bool restart) {
  if (!restart) {
    if (!ReadCompiledData()) {
      base::sys::Output("Traintravel Minigame Error! Cannot read Textures!\n");
      return false;
    }
    m_Tries = 0;
    m_Difficulty = 1;
    sfx::PlaySound(sfx::PLAY_STREAM, "msx/theme_traintravel.ogg", kTheme, "MUSIC", Params(1.0f, true, true));
  } else {
    ++m_Tries;
  }
  std::fill(std::begin(m_AgentNodes), std::end(m_AgentNodes), -1);
  std::fill(std::begin(m_AgentPulse), std::end(m_AgentPulse), 0.0f);
  m_PlayerNode = m_OriginNode = m_DestinationNode = m_HoverNode = -1;
  std::fill(std::begin(m_ItemAvailable), std::end(m_ItemAvailable), false);
  m_AgentCount = 0;
  m_NodeCount = 0;
  m_HoverValid = false;
  m_State = PlacingItems;
  m_PlayerMoved = m_AgentsMoving = false;
  m_EndTime = 0.0f;
  m_Movers.clear();

  if (!mission) return false;
  if (m_ReloadGraph && mission != &m_MissionElement) m_MissionElement.copy(*mission);
  SetResult(false);
  base::String filename;
  if (!m_MissionElement.get_attribute_string("Filename", filename) || filename.empty()) {
    base::sys::Output("ERROR: traintravel %s: the mission names no graph file (\"Filename\")\n", m_MissionPath.c_str());
    return false;
  }
  m_GraphFile = filename;
  base::String graph = kLevelFolder;
  graph += filename;
  base::String scenario;
  m_MissionElement.get_attribute_string("Scenario", scenario);
  int agents = 0, outOfOrder = 0;
  m_MissionElement.get_attribute_int("NumOfAgents", agents);
  m_MissionElement.get_attribute_int("NumOfOutOfOrder", outOfOrder);
  for (int i = 0; i < 3; ++i) m_MissionElement.get_attribute_bool(kItemTriggers[i], m_ItemAvailable[i]);

  ResetPanicTimer(static_cast<float>(TrainTravel_Panic_Timeout));
  TriggerTutorial(kTutorialPrefix, "Start", true);
  if (LoadGraph(graph, scenario, agents, std::clamp(outOfOrder, 0, kMaxNodes))) return true;
  m_ReloadGraph = true;  // the next start reads its own file, not what this one left behind
  return false;
}

void cl_TrainTravelPanel::Restart() {
  m_Movers.clear();
  Init(&m_MissionElement, true);
}

void cl_TrainTravelPanel::End() {
  m_ReloadGraph = true;
  bool won = false;
  if (base::Variant* state = GetGameState()) {
    const base::Variant* win = base::variant_get_attribute_by_path(*state, (m_MissionPath + "/Win").c_str(), false);
    won = win && win->get_int() == 1;
  }
  if (won && !m_Finished && m_State == Over && m_Tries < 5) {
    const int bonus = kSkillBonus[std::clamp(m_Difficulty, 1, 3) - 1][std::clamp(m_Tries, 0, 4)];
    RaiseSkill(bonus);
  }
  m_Time = m_EndTime = 0.0f;
  m_Movers.clear();
  sfx::StopSound(kTheme, 1.0f);
}

bool cl_TrainTravelPanel::IsFinished() {
  if (m_Finished) return true;
  return m_State == Over && m_EndTime > 0.0f && m_Time >= m_EndTime;
}

// ---- Input

int cl_TrainTravelPanel::CurrentItem() const {
  for (int i = 0; i < 3; ++i)
    if (m_ItemAvailable[i]) return i;
  return -1;
}

void cl_TrainTravelPanel::PlaceItem(int s) {
  if (s < 0) return;
  const st_TrainNode& node = m_Nodes[s];
  const uint32_t refused = st_TrainNode::Origin | st_TrainNode::Destination | st_TrainNode::OutOfOrder |
                           st_TrainNode::ExitNode;
  if ((node.m_Flags & refused) || s == m_PlayerNode) return;
  for (int i = 0; i < m_AgentCount; ++i)
    if (m_AgentNodes[i] == s) return;
  const int item = CurrentItem();
  if (item < 0) return;
  m_Nodes[s].SetFlags(kItemFlags[item]);
  m_ItemAvailable[item] = false;
  if (item == ItemDoubleTurn) m_State = Playing;
  for (int next = item + 1; next < 3 && item != ItemDoubleTurn; ++next) {
    if (!m_ItemAvailable[next]) continue;
    TriggerTutorial(kTutorialPrefix, kItemTriggers[next], true);
    break;
  }
  sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/MG_TrainTravel_place.ogg", "TrainTravelPlace", "PLAYER",
                 Params(1.0f, false, true));
}

void cl_TrainTravelPanel::AddTravel(float* figure, int from, int to) {
  auto mover = std::make_unique<st_TrainMover>();
  BuildTrack(mover->m_Path, from, to);
  const float half = static_cast<float>(s_NodeSize / 2);
  mover->m_Path.Translate({half - m_FigureWidth / 2.0f - s_NodeSize / 2.0f,
                           s_NodeSize - m_FigureHeight - s_NodeSize / 2.0f});
  mover->m_Target = FigurePosition(to);
  mover->m_Figure = figure;
  const float dx = mover->m_Target.x - figure[0], dy = mover->m_Target.y - figure[1];
  const float distance = std::sqrt(dx * dx + dy * dy);
  // A figure already in place finishes at once instead of dividing by zero.
  mover->m_Step = distance > 0.0f ? 5.0f / distance : 1.0f;
  m_Movers.push_back(std::move(mover));
}

bool cl_TrainTravelPanel::HandleInput(base::ICMD& cmd) {
  if (HitSkipButton(cmd, 0.0f, m_OffsetY, GetScale()) || HandleTutorialInput(cmd)) return true;
  const float x = cmd.mouseX, y = cmd.mouseY;
  if (m_State == PlacingItems) {
    if (cmd.type == base::ICMD::MOUSE_MOVE) {
      m_HoverNode = NodeAt(x, y);
      if (m_HoverNode >= 0) {
        m_HoverValid = true;
        for (int i = 0; i < m_AgentCount; ++i)
          if (m_AgentNodes[i] == m_HoverNode) m_HoverValid = false;
      }
    } else if (cmd.type == base::ICMD::LEFT_UP) {
      PlaceItem(NodeAt(x, y));
    }
  } else if (m_State == Playing) {
    if (cmd.type == base::ICMD::MOUSE_MOVE) {
      m_HoverNode = NodeAt(x, y);
      m_HoverValid = CanTravel(m_PlayerNode, m_HoverNode, true);
    } else if (cmd.type == base::ICMD::LEFT_UP && m_Movers.empty()) {
      const int target = NodeAt(x, y);
      if (target < 0 || !CanTravel(m_PlayerNode, target, true)) {
        PlayErrorSound();
      } else {
        AddTravel(&m_PlayerFigurePos.x, m_PlayerNode, target);
        m_PlayerNode = target;
        m_PlayerMoved = true;
        PlayClickSound();
      }
    } else if (cmd.type == base::ICMD::KEY_RELEASED && cmd.key == 'R') {
      Restart();
    }
  }
  return true;
}

// ---- play targets

bool cl_TrainTravelPanel::GetPlayTarget(const char* name, float& x, float& y) {
  constexpr std::string_view kStation = "station ";
  const std::string_view what(name ? name : "");
  if (what.substr(0, kStation.size()) != kStation) return i_Minigame::GetPlayTarget(name, x, y);
  const int station = FindNodeByName(std::string(what.substr(kStation.size())).c_str());
  if (station < 0) return false;
  const float half = static_cast<float>(s_NodeSize) * 0.5f;
  x = m_Nodes[station].m_X + half;
  y = m_Nodes[station].m_Y + half;
  return IsOnWindow(x, y);
}

bool cl_TrainTravelPanel::IsPlayCondition(const char* name) {
  // Placing with nothing left to place turns into play at the next update.
  const bool placed = m_State == PlacingItems && CurrentItem() < 0;
  return i_Minigame::IsPlayCondition(name) && m_Movers.empty() && !m_PlayerMoved && !m_AgentsMoving && !placed;
}

// ---- Turns

void cl_TrainTravelPanel::Update(float dt) {
  i_Minigame::Update(dt);
  if (UpdateTutorial(dt)) return;
  m_Time += dt;
  if (m_State == Caught || m_State == Over) {
    if (m_EndTime == 0.0f) m_EndTime = m_Time + 1.0f;
    if (m_State == Caught && m_EndTime < m_Time) {
      // Counted from four, so restarts by key cannot push the count past the final arrest.
      if (m_Tries >= 4) {
        m_Tries = 5;
        m_State = Over;
        m_EndTime = m_Time + 1.0f;
        SetResult(true);
      } else {
        m_EndTime = 0.0f;
        Restart();
      }
      return;
    }
  }
  for (auto it = m_Movers.begin(); it != m_Movers.end();)
    it = (*it)->Update(dt) ? m_Movers.erase(it) : std::next(it);
  if (m_State == PlacingItems && CurrentItem() < 0) m_State = Playing;
  if (m_PlayerMoved && m_Movers.empty()) {
    m_PlayerMoved = false;
    FinishPlayerMove();
    return;
  }
  if (m_AgentsMoving && m_Movers.empty()) {
    m_AgentsMoving = false;
    FinishAgentsTurn();
  }
}

void cl_TrainTravelPanel::FinishPlayerMove() {
  const int p = m_PlayerNode;
  if (p == m_DestinationNode) {
    SetResult(true);
    m_State = Over;
    sfx::StopSound(kTheme, 1.0f);
    sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/MG_TrainTravel_won.ogg", "TrainTravelWon", "PLAYER",
                   Params(0.6f, false, true));
    return;
  }
  if (p >= 0 && p == FindNodeByName("Exit")) {
    SetResult(false);
    m_State = Over;
    return;
  }
  for (int i = 0; i < m_AgentCount; ++i)
    if (m_AgentNodes[i] == p) {
      m_State = Caught;
      return;
    }
  if (!GetNode(p).HasFlags(st_TrainNode::DoubleTurn)) {
    MoveAgents();
    m_AgentsMoving = true;
  } else {
    GetNode(p).ClearFlags(st_TrainNode::DoubleTurn);  // used once; the player moves again
  }
}

void cl_TrainTravelPanel::FinishAgentsTurn() {
  const st_TrainNode& at = GetNode(m_PlayerNode);
  bool open = false;
  for (int l = 0; l < at.m_LinkCount; ++l)
    if (!GetNode(at.m_Links[l]).HasFlags(st_TrainNode::OutOfOrder)) open = true;
  if (!open) m_State = Caught;
  // Agents that ended on one station become one.
  int kept = 0;
  for (int i = 0; i < m_AgentCount; ++i) {
    bool shared = false;
    for (int j = 0; j < kept; ++j) shared = shared || m_AgentNodes[j] == m_AgentNodes[i];
    if (shared) continue;
    m_AgentNodes[kept] = m_AgentNodes[i];
    m_AgentFigurePos[kept] = m_AgentFigurePos[i];
    ++kept;
  }
  for (int i = kept; i < kMaxAgents; ++i) m_AgentNodes[i] = -1;
  m_AgentCount = kept;
}

void cl_TrainTravelPanel::MoveAgents() {
  for (int i = 0; i < m_NodeCount; ++i) m_Nodes[i].m_Visited = false;
  const int route = PathLength(m_PlayerNode, m_DestinationNode, true) + 1;
  for (int i = 0; i < m_AgentCount; ++i) {
    const int next = ChooseAgentMove(m_AgentNodes[i], route);
    if (next < 0) continue;
    AddTravel(&m_AgentFigurePos[i].x, m_AgentNodes[i], next);
    m_AgentNodes[i] = next;
  }
}

int cl_TrainTravelPanel::ChooseAgentMove(int g, int route) {
  std::vector<std::pair<int, int>> toPlayer, toGoal;
  NeighbourDistances(g, m_PlayerNode, toPlayer, false);
  NeighbourDistances(g, m_DestinationNode, toGoal, false);
  if (m_PlayerNode >= 0 && m_DestinationNode >= 0 && GetNode(m_PlayerNode).HasLink(m_DestinationNode)) {
    const auto it = std::find_if(toPlayer.begin(), toPlayer.end(),
                                 [&](const auto& e) { return e.first == m_DestinationNode; });
    if (it != toPlayer.end()) toPlayer.erase(it);
  }
  std::vector<std::pair<int, int>> first, second;  // (station, b)
  int fallback = -1, bestA = 10000, lastA = 10000, lastDetour = 10000;
  for (const auto& entry : toPlayer) {
    const int station = entry.first, a = entry.second;
    if (station == m_PlayerNode) {
      m_State = Caught;
      return station;
    }
    const auto found = std::find_if(toGoal.begin(), toGoal.end(), [&](const auto& e) { return e.first == station; });
    if (found == toGoal.end()) {
      if (fallback < 0) fallback = station;
      continue;
    }
    const int b = found->second;
    if (b <= route && a <= bestA) {
      first.emplace_back(station, b);
      bestA = a;
    } else if (b - route <= lastDetour && a <= lastA) {
      second.emplace_back(station, b);
      lastA = a;
      lastDetour = b - route;
    }
  }
  const auto& group = !first.empty() ? first : second;
  if (group.empty()) return fallback;
  int leastB = group.front().second;
  for (const auto& e : group) leastB = std::min(leastB, e.second);
  std::vector<int> picks;
  for (const auto& e : group)
    if (e.second == leastB) picks.push_back(e.first);
  return picks[base::Random(static_cast<int>(picks.size()))];
}

}  // namespace quillane
