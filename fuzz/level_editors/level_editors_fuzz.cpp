// Arbitrary bytes through the level editors: the text before "\n---\n" as a train-travel graph
// file loaded by the editor, the bytes after it as editor commands (add, link, delete, origin,
// destination, agent, clear, save, load), and the bytes after a second "\n---\n" as dance
// editor keys and frames, recorded, saved and read back. After every command the board stays
// within its limits with every index valid and the editor's own tracks paired; a saved board
// reads back and saves again byte for byte; a saved dance reads back with every recorded move.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../BaseFuzz.h"
#include "../ScratchFile.h"
#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "quillane/editor/levels/DanceEditor.h"
#include "quillane/editor/levels/TrainTravelEditor.h"

namespace {

using quillane::cl_TrainTravelEditor;
using quillane::st_TrainNode;

constexpr int kSize = 48;  // the demo's station icon
constexpr const char* kFolder = "gui/minigames/traintravel/";

// The editor with the icon size the art would give it.
struct cl_FuzzEditor : cl_TrainTravelEditor {
  cl_FuzzEditor() {
    s_NodeSize = kSize;
    m_Scale = 1.0f;
  }
  void Send(int type, float x, float y, uint8_t key = 0) {
    base::ICMD cmd;
    cmd.type = static_cast<uint8_t>(type);
    cmd.key = key;
    cmd.mouseX = static_cast<uint16_t>(x < 0.0f ? 0.0f : x);
    cmd.mouseY = static_cast<uint16_t>(y < 0.0f ? 0.0f : y);
    HandleInput(cmd);
  }
  bool Event(const char* label, const char* attribute = nullptr, const char* value = nullptr,
             const char* category = nullptr) {
    base::Variant event;
    event.set_element(label);
    if (attribute) event.attribute(attribute)->set_string(value);
    if (category) event.attribute("category")->set_string(category);
    return HandleMenuEvent(&event, nullptr);
  }
  bool Button(const char* command) { return Event("ButtonPressed", "ctrl_label", command); }
  // A right-click on station index selects it (no GUI: no popup), then the command.
  void OnStation(int index, const char* command) {
    const st_TrainNode& node = GetNode(index);
    Send(base::ICMD::RIGHT_DOWN, node.m_X + kSize / 2, node.m_Y + kSize / 2);
    Button(command);
  }
  void Link(int a, int b) {
    const st_TrainNode &from = GetNode(a), &to = GetNode(b);
    Send(base::ICMD::KEY_PRESSED, from.m_X, from.m_Y, 0xC9);
    Send(base::ICMD::LEFT_DOWN, from.m_X + kSize / 2, from.m_Y + kSize / 2);
    Send(base::ICMD::LEFT_UP, to.m_X + kSize / 2, to.m_Y + kSize / 2);
    Send(base::ICMD::KEY_RELEASED, to.m_X, to.m_Y, 0xC9);
  }
  void Check(bool paired) {
    const int count = GetNodeCount();
    if (count < 0 || count > kMaxNodes) __builtin_trap();
    auto valid = [count](int i) { return i >= -1 && i < count; };
    if (!valid(GetOriginNode()) || !valid(GetDestinationNode()) || !valid(GetPlayerNode())) __builtin_trap();
    if (GetAgentCount() < 0 || GetAgentCount() > kMaxAgents || GetEditorAgentCount() > kMaxAgents) __builtin_trap();
    for (int i = 0; i < GetAgentCount(); ++i)
      if (!valid(GetAgentNode(i))) __builtin_trap();
    for (int i = 0; i < count; ++i) {
      const st_TrainNode& node = GetNode(i);
      if (node.m_LinkCount < 0 || node.m_LinkCount > st_TrainNode::kMaxLinks) __builtin_trap();
      for (int l = 0; l < node.m_LinkCount; ++l) {
        const int other = node.m_Links[l];
        if (other < 0 || other >= count) __builtin_trap();
        if (paired && !GetNode(other).HasLink(i)) __builtin_trap();
      }
    }
  }
};

std::string Slurp(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void RunTrain(const std::string& graph, const std::string& commands) {
  cl_FuzzEditor editor;
  std::ofstream(std::string(kFolder) + "in.xml", std::ios::binary) << graph;
  editor.Event("SelectXML", "file", "in.xml", "MinigameLoadXML");
  // A file may hold one-way tracks; the editor's own are made in pairs.
  bool paired = editor.GetNodeCount() == 0;
  editor.Check(paired);
  for (size_t i = 0; i + 2 < commands.size(); i += 3) {
    const int n = editor.GetNodeCount();
    const uint8_t op = static_cast<uint8_t>(commands[i]) % 10;
    const int a = n ? static_cast<uint8_t>(commands[i + 1]) % n : 0;
    const int b = n ? static_cast<uint8_t>(commands[i + 2]) % n : 0;
    switch (op) {
      case 0:
        editor.Send(base::ICMD::MOUSE_MOVE, static_cast<uint8_t>(commands[i + 1]) * 4.0f,
                    static_cast<uint8_t>(commands[i + 2]) * 2.5f);
        editor.Button("AddNode");
        break;
      case 1:
        if (n) editor.Link(a, b);
        break;
      case 2:
        if (n) editor.OnStation(a, "RemoveNode");
        break;
      case 3:
        if (n) editor.OnStation(a, "SetOrigin");
        break;
      case 4:
        if (n) editor.OnStation(a, "SetDestination");
        break;
      case 5:
        if (n) editor.OnStation(a, "SetAgentNode");
        break;
      case 6:
        editor.Button("Clear");
        paired = true;
        break;
      case 7: editor.Button("Invert"); break;
      case 8:
      case 9: {
        if (!editor.Event("SelectXML", "file", "out.xml", "MinigameSaveXML")) __builtin_trap();
        if (op == 8) break;
        const std::string saved = Slurp("gui/minigames/traintravel/out.xml");
        editor.Event("SelectXML", "file", "out.xml", "MinigameLoadXML");
        editor.Event("SelectXML", "file", "again.xml", "MinigameSaveXML");
        if (!saved.empty() && saved != Slurp("gui/minigames/traintravel/again.xml")) __builtin_trap();
        break;
      }
    }
    editor.Check(paired);
  }
}

void RunDance(const std::string& keys) {
  quillane::cl_DanceMinigameEditor editor;
  editor.m_Scale = 1.0f;
  static constexpr uint8_t kKeys[] = {13, 'Q', 'A', 'W', 'S', 0xF2, 0xF3, 'R', 'D', 0xDD, 0xDE, 0xDF};
  for (size_t i = 0; i + 1 < keys.size(); i += 2) {
    base::ICMD cmd;
    cmd.type = base::ICMD::KEY_PRESSED;
    cmd.key = kKeys[static_cast<uint8_t>(keys[i]) % sizeof kKeys];
    editor.HandleInput(cmd);
    editor.Update(static_cast<uint8_t>(keys[i + 1]) / 50.0f);
    if (!(editor.GetSpeed() >= quillane::cl_DanceMinigameEditor::kMinSpeed - 1e-4f)) __builtin_trap();
  }
  if (editor.GetState() != quillane::cl_DanceMinigame::Recording) return;
  const int recorded = editor.GetTotalMoves();
  if (!editor.SaveMoveList("fz", editor.GetSpeed(), 10, 30.0f)) return;
  quillane::cl_DanceMinigame game;
  if (!game.LoadMoveList("fz") || game.GetMoveList().size() != recorded) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 1 << 14)) return 0;
  fuzzsupport::st_InScratchFolder scratch("level_editors");
  if (!scratch.ok) return 0;
  static const bool folders = [] {
    std::error_code ignored;
    std::filesystem::create_directories("gui/minigames/traintravel", ignored);
    std::filesystem::create_directories("gui/minigames/dance", ignored);
    return true;
  }();
  (void)folders;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t cut = text.find("\n---\n");
  const std::string rest = cut == std::string::npos ? std::string() : text.substr(cut + 5);
  const size_t cut2 = rest.find("\n---\n");
  RunTrain(text.substr(0, cut), rest.substr(0, cut2));
  if (cut2 != std::string::npos) RunDance(rest.substr(cut2 + 5));
  quillane::cl_DanceMinigame::ResetScore();
  return 0;
}
