// Arbitrary text as a train-travel graph file, optionally followed by "\n---\n" and a scenario
// file: the board is built from them, then every route search and every agent's choice runs on
// it. Links, station and agent counts must stay within the board whatever the file says.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../BaseFuzz.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "quillane/minigames/traintravel/TrainTravel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 1 << 16)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t cut = text.find("\n---\n");
  base::Variant graph;
  if (!base::xml::read_text(graph, text.substr(0, cut).c_str(), "fuzz.xml")) return 0;
  quillane::cl_TrainTravelPanel panel;
  panel.m_Scale = 1.0f;
  panel.SetGraphData(graph);
  if (!panel.LoadGraph("fuzz.xml", "", 3, 3)) return 0;
  if (cut != std::string::npos) {
    base::Variant scenario;
    if (base::xml::read_text(scenario, text.substr(cut + 5).c_str(), "fuzz.scr"))
      panel.ApplyScenario(scenario, "fuzz_Hard", "fuzz.scr");
  }
  const int count = panel.GetNodeCount();
  if (count < 0 || count > quillane::cl_TrainTravelPanel::kMaxNodes) __builtin_trap();
  if (panel.GetAgentCount() < 0 || panel.GetAgentCount() > quillane::cl_TrainTravelPanel::kMaxAgents) __builtin_trap();
  std::vector<std::pair<int, int>> near;
  for (int i = 0; i < count; ++i) {
    const quillane::st_TrainNode& node = panel.GetNode(i);
    if (node.m_LinkCount < 0 || node.m_LinkCount > quillane::st_TrainNode::kMaxLinks) __builtin_trap();
    for (int l = 0; l < node.m_LinkCount; ++l)
      if (node.m_Links[l] < 0 || node.m_Links[l] >= count) __builtin_trap();
    panel.ShortestPathLength(i, panel.GetDestinationNode(), true);
    panel.NeighbourDistances(i, panel.GetPlayerNode(), near, false);
  }
  for (int a = 0; a < panel.GetAgentCount(); ++a) {
    const int next = panel.ChooseAgentMove(panel.GetAgentNode(a), 3);
    if (next < -1 || next >= count) __builtin_trap();
  }
  return 0;
}
