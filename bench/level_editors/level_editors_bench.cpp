// The train-travel editor on a board of 50 stations and 250 links (125 tracks, each written from
// both ends): the route check its status line makes every frame (origin to destination, the
// fewest hops through passable stations) against Boost.Graph's breadth_first_search over the
// same graph; and SaveGraph (a crash-safe write of the XML) against pugixml building the same
// tree, save_file, then the same fsync and rename.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/breadth_first_search.hpp>
#include <boost/graph/visitors.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "quillane/editor/levels/TrainTravelEditor.h"

namespace fs = std::filesystem;

namespace {

constexpr int kStations = 50;
constexpr int kTracksPerStation = 5;  // 125 tracks: 250 links

using tGraph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS>;

struct cl_BenchEditor : quillane::cl_TrainTravelEditor {
  cl_BenchEditor() { s_NodeSize = 48; }
};

struct st_Bench {
  st_Bench() {
    home = fs::current_path();
    dir = fs::temp_directory_path() / ("quillane_bench_level_editors_" + std::to_string(getpid()));
    fs::create_directories(dir / "gui/minigames/traintravel");
    fs::current_path(dir);
    base::Variant add;
    add.set_element("ButtonPressed");
    add.attribute("ctrl_label")->set_string("AddNode");
    for (int i = 0; i < kStations; ++i) {
      base::ICMD move;
      move.type = base::ICMD::MOUSE_MOVE;
      move.mouseX = static_cast<uint16_t>(20 + (i % 10) * 95);
      move.mouseY = static_cast<uint16_t>(20 + (i / 10) * 110);
      editor.HandleInput(move);
      editor.HandleMenuEvent(&add, nullptr);
    }
    // Each station to the five after it on a ring, so the route needs several hops.
    for (int i = 0; i < kStations; ++i)
      for (int k = 1; k <= kTracksPerStation / 2 + 1 && edges.size() < kStations * kTracksPerStation; ++k) {
        const int j = (i + k * 7) % kStations;
        if (j == i || editor.GetNode(i).HasLink(j) || editor.GetNode(i).m_LinkCount >= 10 ||
            editor.GetNode(j).m_LinkCount >= 10)
          continue;
        editor.GetNode(i).AddLink(j);
        editor.GetNode(j).AddLink(i);
        edges.emplace_back(i, j);
        edges.emplace_back(j, i);
      }
    editor.SetOriginNode(0);
    editor.SetDestinationNode(kStations / 2 + 3);
    // The same directed links for Boost, the "Exit" station included.
    graph = std::make_unique<tGraph>(editor.GetNodeCount());
    for (int i = 0; i < editor.GetNodeCount(); ++i)
      for (int l = 0; l < editor.GetNode(i).m_LinkCount; ++l) boost::add_edge(i, editor.GetNode(i).m_Links[l], *graph);
  }
  ~st_Bench() {
    fs::current_path(home);
    fs::remove_all(dir);
  }

  fs::path home, dir;
  cl_BenchEditor editor;
  std::vector<std::pair<int, int>> edges;
  std::unique_ptr<tGraph> graph;  // built in place: copying the graph trips a warning in Boost
};

st_Bench& Bench() {
  static st_Bench bench;
  return bench;
}

void BM_EditorRouteCheck(benchmark::State& state) {
  cl_BenchEditor& editor = Bench().editor;
  for (auto _ : state) {
    const int hops = editor.ShortestPathLength(editor.GetOriginNode(), editor.GetDestinationNode(), true);
    if (hops < 1 || hops >= quillane::cl_TrainTravelPanel::kNoRoute) {
      state.SkipWithError("no route");
      break;
    }
    benchmark::DoNotOptimize(hops);
  }
  state.counters["links"] = static_cast<double>(Bench().edges.size());
}
BENCHMARK(BM_EditorRouteCheck);

void BM_BoostBreadthFirstSearch(benchmark::State& state) {
  const tGraph& graph = *Bench().graph;
  const int origin = Bench().editor.GetOriginNode(), destination = Bench().editor.GetDestinationNode();
  std::vector<int> hops(boost::num_vertices(graph));
  for (auto _ : state) {
    std::fill(hops.begin(), hops.end(), 0);
    boost::breadth_first_search(
        graph, boost::vertex(origin, graph),
        boost::visitor(boost::make_bfs_visitor(boost::record_distances(hops.data(), boost::on_tree_edge()))));
    if (hops[destination] < 1) {
      state.SkipWithError("no route");
      break;
    }
    benchmark::DoNotOptimize(hops.data());
  }
}
BENCHMARK(BM_BoostBreadthFirstSearch);

void BM_EditorSaveGraph(benchmark::State& state) {
  const base::String file("bench.xml");
  for (auto _ : state) {
    // Judged by the save's own result: the editor's status line also reports a save that worked.
    if (!Bench().editor.SaveGraphAs(file)) {
      state.SkipWithError(Bench().editor.GetMessage().c_str());
      break;
    }
  }
}
BENCHMARK(BM_EditorSaveGraph)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PugixmlSaveFsyncRename(benchmark::State& state) {
  cl_BenchEditor& editor = Bench().editor;
  const std::string file = "gui/minigames/traintravel/pugi.xml", temp = file + ".tmp";
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("Nodes");
    root.append_attribute("RandomSeed") = editor.GetRandomSeed();
    for (int i = 0; i < editor.GetNodeCount(); ++i) {
      const quillane::st_TrainNode& node = editor.GetNode(i);
      pugi::xml_node element = root.append_child("Node");
      element.append_attribute("Name") = node.m_Name.c_str();
      element.append_attribute("X") = static_cast<int>(node.m_X);
      element.append_attribute("Y") = static_cast<int>(node.m_Y);
      element.append_attribute("OriginDistance") = node.m_OriginDistance;
      element.append_attribute("DestinationDistance") = node.m_DestinationDistance;
    }
    for (int i = 0; i < editor.GetNodeCount(); ++i)
      for (int l = 0; l < editor.GetNode(i).m_LinkCount; ++l) {
        pugi::xml_node link = root.append_child("Link");
        link.append_attribute("a") = i;
        link.append_attribute("b") = editor.GetNode(i).m_Links[l];
      }
    if (!doc.save_file(temp.c_str())) {
      state.SkipWithError("save failed");
      break;
    }
    const int fd = open(temp.c_str(), O_RDONLY);
    if (fd < 0 || fsync(fd) != 0 || close(fd) != 0 || std::rename(temp.c_str(), file.c_str()) != 0) {
      state.SkipWithError("sync or rename failed");
      break;
    }
    const int folder = open("gui/minigames/traintravel", O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
      fsync(folder);
      close(folder);
    }
  }
}
BENCHMARK(BM_PugixmlSaveFsyncRename)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(
      argc, argv,
      {{"route check, 50 stations / boost breadth_first_search", "BM_EditorRouteCheck", "BM_BoostBreadthFirstSearch"},
       {"SaveGraph 50 stations, 250 links / pugixml+fsync+rename", "BM_EditorSaveGraph", "BM_PugixmlSaveFsyncRename"}});
}
