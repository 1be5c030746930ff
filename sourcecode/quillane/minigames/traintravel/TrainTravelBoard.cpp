// The train-travel board: station records, the graph and scenario level files, the random
// set-up and the hop-count searches. Drawing is in TrainTravelDraw.cpp, play in TrainTravel.cpp.
#include <algorithm>
#include <cstring>
#include <deque>

#include "base/data/Binary.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/font/Font.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/traintravel/TrainTravel.h"

namespace quillane {

namespace {

constexpr int kMaxFamilyMembers = 100;  // numbered scenario members probed at most

// ORDER FLAGS: bit order, as the graph file spells them.
constexpr const char* kFlagNames[] = {"Origin",  "Destination", "OutOfOrder",   "SaveHaven",
                                      "DoubleTurn", "NoAgent",   "NoOutOfOrder", "ExitNode"};

constexpr uint32_t kImpassable = st_TrainNode::OutOfOrder | st_TrainNode::SaveHaven | st_TrainNode::ExitNode;

bool Impassable(const st_TrainNode& node) { return (node.m_Flags & kImpassable) != 0; }

int IntAttribute(const base::Variant& element, const char* name, int fallback) {
  int value = fallback;
  element.get_attribute_int(name, value);
  return value;
}

}  // namespace

int cl_TrainTravelPanel::s_NodeSize = 0;

// ---- Station record

st_TrainNode::st_TrainNode() { std::fill(std::begin(m_Links), std::end(m_Links), -1); }

st_TrainNode& st_TrainNode::operator=(const st_TrainNode& other) {
  if (this == &other) return *this;
  m_Id = other.m_Id;
  m_Name = other.m_Name;
  m_OriginDistance = other.m_OriginDistance;
  m_DestinationDistance = other.m_DestinationDistance;
  m_Flags = other.m_Flags;
  std::copy(std::begin(other.m_Links), std::end(other.m_Links), std::begin(m_Links));
  m_LinkCount = other.m_LinkCount;
  m_X = other.m_X;
  m_Y = other.m_Y;
  return *this;
}

bool st_TrainNode::AddLink(int station) {
  if (m_LinkCount >= kMaxLinks) return false;
  m_Links[m_LinkCount++] = station;
  return true;
}

bool st_TrainNode::RemoveLink(int station) {
  const int before = m_LinkCount;
  int kept = 0;
  for (int i = 0; i < before; ++i)
    if (m_Links[i] != station) m_Links[kept++] = m_Links[i];
  for (int i = kept; i < kMaxLinks; ++i) m_Links[i] = -1;
  m_LinkCount = kept;
  return kept < before;
}

bool st_TrainNode::HasLink(int station) const {
  return std::find(m_Links, m_Links + m_LinkCount, station) != m_Links + m_LinkCount;
}

// ---- Records by index and name

st_TrainNode& cl_TrainTravelPanel::GetNode(int index) { return m_Nodes[std::clamp(index, 0, kMaxNodes - 1)]; }

int cl_TrainTravelPanel::FindNodeByName(const char* name) const {
  if (!name) return -1;
  for (int i = 0; i < m_NodeCount; ++i)
    if (m_Nodes[i].m_Name == name) return i;
  return -1;
}

int cl_TrainTravelPanel::NodeAt(float x, float y) const {
  for (int i = 0; i < m_NodeCount; ++i) {
    const st_TrainNode& node = m_Nodes[i];
    if (node.m_X < x && x < node.m_X + s_NodeSize && node.m_Y < y && y < node.m_Y + s_NodeSize) return i;
  }
  return -1;
}

bool cl_TrainTravelPanel::ReadNode(const base::Variant& element, int index, st_TrainNode& node) {
  node.m_Id = index;
  bool complete = element.get_attribute_string("Name", node.m_Name);
  complete = element.get_attribute_int("OriginDistance", node.m_OriginDistance) && complete;
  complete = element.get_attribute_int("DestinationDistance", node.m_DestinationDistance) && complete;
  int x = 0, y = 0;
  const bool hasX = element.get_attribute_int("X", x), hasY = element.get_attribute_int("Y", y);
  // Layout pixels of a 1024-wide screen: anything far outside is a damaged file, not a station.
  node.m_X = static_cast<float>(std::clamp(x, -4096, 4096));
  node.m_Y = static_cast<float>(std::clamp(y, -4096, 4096));
  for (int bit = 0; bit < 8; ++bit) {
    bool set = false;
    if (element.get_attribute_bool(kFlagNames[bit], set) && set) node.SetFlags(1u << bit);
  }
  return complete && hasX && hasY;
}

bool cl_TrainTravelPanel::WriteNode(const st_TrainNode& node, base::Variant& element) {
  element.attribute("Name")->set_string(node.m_Name.c_str());
  element.attribute("X")->set_int(static_cast<int>(node.m_X));
  element.attribute("Y")->set_int(static_cast<int>(node.m_Y));
  element.attribute("OriginDistance")->set_int(node.m_OriginDistance);
  element.attribute("DestinationDistance")->set_int(node.m_DestinationDistance);
  for (int bit = 0; bit < 8; ++bit)
    if (node.HasFlags(1u << bit)) element.attribute(kFlagNames[bit])->set_int(1);
  return true;
}

st_TrainNode* cl_TrainTravelPanel::SetOriginNode(int index) {
  st_TrainNode* previous = nullptr;
  if (index > -1) {
    GetNode(index).SetFlags(st_TrainNode::Origin);
    GetNode(index).ClearFlags(st_TrainNode::Destination);
    SetPlayerNode(index);
  }
  if (m_OriginNode > -1 && m_OriginNode != index) {
    previous = &GetNode(m_OriginNode);
    previous->ClearFlags(st_TrainNode::Origin);
  }
  m_OriginNode = index;
  return previous;
}

st_TrainNode* cl_TrainTravelPanel::SetDestinationNode(int index) {
  st_TrainNode* previous = nullptr;
  if (index > -1) {
    GetNode(index).SetFlags(st_TrainNode::Destination);
    GetNode(index).ClearFlags(st_TrainNode::Origin);
  }
  if (m_DestinationNode > -1 && m_DestinationNode != index) {
    previous = &GetNode(m_DestinationNode);
    previous->ClearFlags(st_TrainNode::Destination);
  }
  m_DestinationNode = index;
  return previous;
}

// ---- Editing

void cl_TrainTravelPanel::DeleteNode(int index, int* oldToNew) {
  if (index < 0 || index >= m_NodeCount) return;
  int remap[kMaxNodes];
  int kept = 0;
  for (int i = 0; i < m_NodeCount; ++i) remap[i] = i == index ? -1 : kept++;
  // Every link to the station goes, also the one-way links its own list does not mirror.
  for (int i = 0; i < m_NodeCount; ++i) m_Nodes[i].RemoveLink(index);
  for (int i = 0; i < m_NodeCount; ++i) {
    if (remap[i] < 0) continue;
    st_TrainNode node = m_Nodes[i];
    node.m_Id = remap[i];
    for (int l = 0; l < node.m_LinkCount; ++l)
      node.m_Links[l] = node.m_Links[l] >= 0 && node.m_Links[l] < m_NodeCount ? remap[node.m_Links[l]] : -1;
    node.RemoveLink(-1);
    m_Nodes[remap[i]] = node;
  }
  const int oldCount = m_NodeCount;
  m_NodeCount = kept;
  m_Nodes[kept] = st_TrainNode();
  auto follow = [&](int station) { return station >= 0 && station < oldCount ? remap[station] : -1; };
  m_OriginNode = follow(m_OriginNode);
  m_DestinationNode = follow(m_DestinationNode);
  m_HoverNode = follow(m_HoverNode);
  if (m_PlayerNode > -1) SetPlayerNode(follow(m_PlayerNode));
  int agents = 0;
  for (int i = 0; i < m_AgentCount; ++i)
    if (const int station = follow(m_AgentNodes[i]); station > -1) SetAgentNode(station, agents++);
  for (int i = agents; i < kMaxAgents; ++i) SetAgentNode(-1, i);
  m_AgentCount = agents;
  if (oldToNew) std::copy(remap, remap + oldCount, oldToNew);
}

// ---- Level files

bool cl_TrainTravelPanel::Fail(const char* file, const char* what, int value) {
  base::sys::Output("ERROR: traintravel %s: %s (%d)\n", file ? file : "", what, value);
  return false;
}

bool cl_TrainTravelPanel::LoadGraph(base::String graphFile, base::String scenario, int agentCount,
                                    int outOfOrderCount) {
  agentCount = std::clamp(agentCount, 0, kMaxAgents);
  m_NodeCount = 0;
  if (m_ReloadGraph) {
    if (!ReadMinigameData(m_GraphData, graphFile.c_str()))
      return Fail(graphFile.c_str(), "graph file missing or not XML", 0);
    m_ReloadGraph = false;
  }
  const base::Variant& graph = m_GraphData;
  const char* file = graphFile.c_str();
  m_RandomSeed = IntAttribute(graph, "RandomSeed", 0);
  // A board without a picture keeps none of the previous board's (the editor would save it).
  m_HasBackground = false;
  m_BackgroundFile.clear();
  m_BackgroundX = m_BackgroundY = 0.0f;
  m_Images[PictureBackground] = nullptr;
  m_OffsetY = 0.0f;
  if (const base::Variant* background = graph.get_element("BackgroundImage")) {
    background->get_attribute_string("Filename", m_BackgroundFile);
    m_BackgroundX = static_cast<float>(std::clamp(IntAttribute(*background, "X", 0), -4096, 4096));
    m_BackgroundY = static_cast<float>(std::clamp(IntAttribute(*background, "Y", 0), -4096, 4096));
    m_Images[PictureBackground] = gfx::ImageExists(m_BackgroundFile.c_str());
    m_HasBackground = true;
    if (m_Images[PictureBackground])
      m_OffsetY =
          (static_cast<float>(base::sys::GetWindowHeight()) - GetScale() * m_Images[PictureBackground]->GetHeight()) /
          2.0f;
    else
      base::sys::Output("Warning: traintravel %s: no background picture \"%s\"\n", file, m_BackgroundFile.c_str());
  }
  s_NodeSize = m_Images[PictureNode] ? static_cast<int>(GetScale() * m_Images[PictureNode]->GetWidth()) : 0;
  m_FigureWidth = m_Images[PictureQuil] ? GetScale() * m_Images[PictureQuil]->GetWidth() : 0.0f;
  m_FigureHeight = m_Images[PictureQuil] ? GetScale() * m_Images[PictureQuil]->GetHeight() : 0.0f;

  for (int i = 0; i < graph.size(); ++i) {
    const base::Variant& child = graph[i];
    const char* label = child.get_label();
    if (!label || std::strcmp(label, "Node") != 0) continue;
    if (m_NodeCount >= kMaxNodes) return Fail(file, "more stations than the board holds", kMaxNodes);
    const int index = m_NodeCount++;
    st_TrainNode fresh;
    ReadNode(child, index, fresh);
    m_Nodes[index] = fresh;
    st_TrainNode& node = m_Nodes[index];
    node.m_X = node.m_X * GetScale();
    node.m_Y = node.m_Y * GetScale() + GetOffsetY();
    if (node.HasFlags(st_TrainNode::Origin))
      SetOriginNode(index);
    else if (node.HasFlags(st_TrainNode::Destination))
      SetDestinationNode(index);
  }
  // Links may come before the stations they name; they are checked against the full list.
  ApplyLinks(file);

  if (!LoadScenario(scenario)) {
    PlaceRandomOutOfOrder(outOfOrderCount);
    if (outOfOrderCount > 0) TriggerTutorial("Missions/Minigames/TrainTravel", "OutOfOrder", true);
    if (m_AgentCount == 0) PlaceRandomAgents(agentCount);
  }
  if (m_AgentCount > 1) TriggerTutorial("Missions/Minigames/TrainTravel", "ManyAgents", true);
  for (int i = 0; i < m_AgentCount; ++i) {
    auto pulse = std::make_unique<st_TrainMover>();
    pulse->m_Pulse = true;
    pulse->m_Step = 0.0698132f;
    pulse->m_Duration = 2.25f;
    pulse->m_Figure = &m_AgentPulse[i];
    m_Movers.push_back(std::move(pulse));
  }
  LayoutTexts();
  return true;
}

void cl_TrainTravelPanel::ApplyLinks(const char* file) {
  const base::Variant& graph = m_GraphData;
  for (int i = 0; i < graph.size(); ++i) {
    const base::Variant& child = graph[i];
    const char* label = child.get_label();
    if (!label || std::strcmp(label, "Link") != 0) continue;
    int a = -1, b = -1;
    if (!child.get_attribute_int("a", a) || !child.get_attribute_int("b", b) || a == -1 || b == -1) continue;
    if (a < 0 || a >= m_NodeCount || b < 0 || b >= m_NodeCount) {
      Fail(file, "link names a station past the list, ignored", a < 0 || a >= m_NodeCount ? a : b);
    } else if (a == b) {
      Fail(file, "link loops back to its own station, ignored", a);
    } else if (!m_Nodes[a].AddLink(b)) {
      Fail(file, "station has more links than allowed, link ignored", a);
    }
  }
}

bool cl_TrainTravelPanel::LoadScenario(base::String name) {
  if (name.empty()) return false;
  base::String member;
  const int slash = name.find_last('/');
  if (name.find_last('.') > slash) {
    member = kLevelFolder;
    member += name;
  } else {
    // A numbered family: count the members, pick one and remember it for the restarts.
    int count = 0;
    base::Binary bytes;
    for (; count < kMaxFamilyMembers; ++count) {
      base::String probe;
      probe.print("%s%s_%d.scr", kLevelFolder, name.c_str(), count);
      if (!base::sys::GetFileFromArchive("MinigameData", probe.c_str(), bytes, true)) break;
    }
    if (count == 0) return false;
    base::String chosen;
    chosen.print("%s_%d.scr", name.c_str(), base::RandBetween(0, count - 1));
    m_MissionElement.attribute("Scenario")->set_string(chosen.c_str());
    member = kLevelFolder;
    member += chosen;
    name = chosen;
  }
  base::Variant scenario;
  if (!ReadMinigameData(scenario, member.c_str())) {
    base::sys::Output("Warning: traintravel %s: scenario missing or not XML, random set-up used\n", member.c_str());
    return false;
  }
  ApplyScenario(scenario, name, member.c_str());
  return true;
}

void cl_TrainTravelPanel::ApplyScenario(const base::Variant& scenario, const base::String& name, const char* member) {
  const char* prefix = "Missions/Minigames/TrainTravel";
  bool shown = false;
  if (IntAttribute(scenario, "SetOutOfOrder", 0) > 0) {
    m_ItemAvailable[ItemOutOfOrder] = true;
    shown = TriggerTutorial(prefix, "SetOutOfOrder", true);
  }
  if (IntAttribute(scenario, "SetSaveHaven", 0) > 0) {
    m_ItemAvailable[ItemSaveHaven] = true;
    if (!shown) shown = TriggerTutorial(prefix, "SetSaveHaven", true);
  }
  if (IntAttribute(scenario, "SetDoubleTurn", 0) > 0) {
    m_ItemAvailable[ItemDoubleTurn] = true;
    if (!shown) TriggerTutorial(prefix, "SetDoubleTurn", true);
  }
  bool closed = false;
  for (int i = 0; i < scenario.size(); ++i) {
    const base::Variant& child = scenario[i];
    const char* label = child.get_label();
    if (!label || std::strcmp(label, "Node") != 0) continue;
    base::String station;
    child.get_attribute_string("Name", station);
    const int index = FindNodeByName(station.c_str());
    if (index < 0) {
      base::sys::Output("Warning: traintravel %s: unknown station \"%s\" ignored\n", member, station.c_str());
      continue;
    }
    if (IntAttribute(child, "Agent", 0) > 0) {
      if (m_AgentCount >= kMaxAgents) {
        Fail(member, "more agents than allowed, agent ignored", m_AgentCount + 1);
        continue;
      }
      SetAgentNode(index, m_AgentCount++);
    } else if (IntAttribute(child, "OutOfOrder", 0) > 0) {
      m_Nodes[index].SetFlags(st_TrainNode::OutOfOrder);
      closed = true;
    }
  }
  if (closed) TriggerTutorial(prefix, "OutOfOrder", true);
  m_Difficulty = name.find("Medium") >= 0 ? 2 : name.find("Hard") >= 0 ? 3 : 1;
}

// ---- Routes

bool cl_TrainTravelPanel::CanTravel(int from, int to, bool playerRules) const {
  if (from < 0 || from >= m_NodeCount || to < 0 || to >= m_NodeCount) return false;
  if (!m_Nodes[from].HasLink(to) || m_Nodes[to].HasFlags(st_TrainNode::OutOfOrder)) return false;
  return playerRules || !(m_Nodes[to].m_Flags & (st_TrainNode::SaveHaven | st_TrainNode::ExitNode));
}

// Breadth first: the fewest hops, like trying every simple path, without its exponential cost.
int cl_TrainTravelPanel::PathLength(int from, int target, bool) {
  if (from < 0 || target < 0) return -1;
  if (from >= m_NodeCount || target >= m_NodeCount) return kNoRoute;
  int hops[kMaxNodes];
  std::fill(std::begin(hops), std::end(hops), -1);
  std::deque<int> queue{from};
  hops[from] = 0;
  while (!queue.empty()) {
    const int at = queue.front();
    queue.pop_front();
    const st_TrainNode& node = m_Nodes[at];
    for (int l = 0; l < node.m_LinkCount; ++l) {
      const int next = node.m_Links[l];
      if (next < 0 || next >= m_NodeCount) continue;
      if (next == target) return hops[at] + 1;
      if (hops[next] >= 0 || Impassable(m_Nodes[next])) continue;
      hops[next] = hops[at] + 1;
      queue.push_back(next);
    }
  }
  return kNoRoute;
}

int cl_TrainTravelPanel::ShortestPathLength(int from, int target, bool playerRules) {
  for (int i = 0; i < m_NodeCount; ++i) m_Nodes[i].m_Visited = false;
  return PathLength(from, target, playerRules);
}

void cl_TrainTravelPanel::NeighbourDistances(int station, int target, std::vector<std::pair<int, int>>& out,
                                             bool playerRules) {
  out.clear();
  if (station < 0 || station >= m_NodeCount || target < 0) return;
  const st_TrainNode& node = m_Nodes[station];
  for (int l = 0; l < node.m_LinkCount; ++l) {
    const int next = node.m_Links[l];
    const st_TrainNode& neighbour = m_Nodes[next];
    if (neighbour.HasFlags(st_TrainNode::OutOfOrder)) continue;
    if (!playerRules && (neighbour.m_Flags & (st_TrainNode::SaveHaven | st_TrainNode::ExitNode))) continue;
    if (next == target) {
      out.emplace_back(next, 1);
      continue;
    }
    const int d = PathLength(next, target, playerRules) + 1;
    if (d >= 1) out.emplace_back(next, d);
  }
  std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
}

// ---- Random set-up

void cl_TrainTravelPanel::PlaceRandomOutOfOrder(int count) {
  std::vector<int> candidates;
  const uint32_t excluded =
      st_TrainNode::Origin | st_TrainNode::Destination | st_TrainNode::NoOutOfOrder | st_TrainNode::ExitNode;
  for (int i = 0; i < m_NodeCount; ++i)
    if (!(m_Nodes[i].m_Flags & excluded)) candidates.push_back(i);
  for (int k = 0; k < count && !candidates.empty(); ++k) {
    const int pick = base::Random(static_cast<int>(candidates.size()));
    m_Nodes[candidates[pick]].SetFlags(st_TrainNode::OutOfOrder);
    candidates.erase(candidates.begin() + pick);
  }
}

void cl_TrainTravelPanel::PlaceRandomAgents(int count) {
  std::vector<int> candidates;
  const uint32_t excluded = st_TrainNode::Origin | st_TrainNode::Destination | st_TrainNode::OutOfOrder |
                            st_TrainNode::NoAgent | st_TrainNode::ExitNode;
  for (int i = 0; i < m_NodeCount; ++i)
    if (!(m_Nodes[i].m_Flags & excluded)) candidates.push_back(i);
  if (candidates.empty()) {
    m_AgentCount = 0;
    return;
  }
  // More agents than free stations would share one; the board gets as many as fit.
  count = std::min({count, static_cast<int>(candidates.size()), static_cast<int>(kMaxAgents)});
  for (int k = 0; k < count; ++k) {
    const int pick = base::Random(static_cast<int>(candidates.size()));
    SetAgentNode(candidates[pick], k);
    candidates.erase(candidates.begin() + pick);
  }
  m_AgentCount = std::max(m_AgentCount, count);
}

void cl_TrainTravelPanel::SetPlayerNode(int station) {
  m_PlayerNode = station;
  m_PlayerFigurePos = station < 0 ? base::tVector2<float>() : FigurePosition(station);
}

void cl_TrainTravelPanel::SetAgentNode(int station, int slot) {
  if (slot < 0 || slot >= kMaxAgents) return;
  m_AgentNodes[slot] = station;
  m_AgentFigurePos[slot] = station < 0 ? base::tVector2<float>() : FigurePosition(station);
}

base::tVector2<float> cl_TrainTravelPanel::FigurePosition(int station) const {
  const st_TrainNode& node = m_Nodes[std::clamp(station, 0, kMaxNodes - 1)];
  return {node.m_X + static_cast<float>(s_NodeSize / 2) - m_FigureWidth / 2.0f,
          node.m_Y + static_cast<float>(s_NodeSize) - m_FigureHeight};
}

}  // namespace quillane
