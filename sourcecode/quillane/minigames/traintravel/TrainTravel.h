// cl_TrainTravelPanel: the train-travel game. The player moves her figure from station to station
// of a railway board towards the destination while up to five agents chase her after every move.
// The board (stations, one-way links, the graph and scenario level files, the random set-up, the
// hop-count searches and the board's drawing) lives in this class too, so that a level editor
// deriving from it edits, checks and draws the same board. Main thread only.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <utility>
#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/math/Vector.h"
#include "graphics/Texture.h"
#include "graphics/mesh/Geometry.h"
#include "quillane/minigames/Minigame.h"

namespace gfx {
class cl_Image;
}

namespace quillane {

// One station of the board.
struct st_TrainNode {
  enum en_Flag : uint32_t {
    Origin = 0x01,        // the player's start
    Destination = 0x02,   // the player's goal
    OutOfOrder = 0x04,    // closed to everybody
    SaveHaven = 0x08,     // the player may enter, agents may not
    DoubleTurn = 0x10,    // the player moves again after arriving
    NoAgent = 0x20,       // the random set-up puts no agent here
    NoOutOfOrder = 0x40,  // the random set-up never closes it
    ExitNode = 0x80,      // the far end of the network: agents may not enter
  };
  static constexpr int kMaxLinks = 10;

  st_TrainNode();
  st_TrainNode(const st_TrainNode& other) { *this = other; }
  st_TrainNode& operator=(const st_TrainNode& other);  // everything but the search mark

  // Appends a link; false (nothing added) once the station holds kMaxLinks.
  bool AddLink(int station);
  bool RemoveLink(int station);  // drops every link to station; true when one was dropped
  bool HasFlags(uint32_t mask) const { return (m_Flags & mask) == mask; }
  void SetFlags(uint32_t mask) { m_Flags |= mask; }
  void ClearFlags(uint32_t mask) { m_Flags &= ~mask; }
  bool HasLink(int station) const;

  int m_Id = -1;
  base::String m_Name;
  int m_OriginDistance = 0;
  int m_DestinationDistance = 0;
  uint32_t m_Flags = 0;
  int m_Links[kMaxLinks];
  int m_LinkCount = 0;
  bool m_Visited = false;
  float m_X = 0.0f, m_Y = 0.0f;  // top-left of the icon, screen pixels
};

// One animation: a figure travelling along a track, or an agent's pulse as it appears.
struct st_TrainMover {
  bool Update(float dt);  // true when finished

  base::Polygon2 m_Path;
  base::tVector2<float> m_Target;
  float* m_Figure = nullptr;  // x, y (travel) or the pulse value (pulse)
  bool m_Pulse = false;
  float m_Elapsed = 0.0f;
  float m_Progress = 0.0f;
  float m_Step = 0.0f;
  float m_Duration = 0.0f;
};

class cl_TrainTravelPanel : public i_Minigame {
 public:
  static constexpr int kMaxNodes = 50;
  static constexpr int kMaxAgents = 5;
  static constexpr int kNoRoute = 1000;  // PathLength when no route exists
  static constexpr const char* kLevelFolder = "gui/minigames/traintravel/";  // graph and scenario files
  // The board's pictures (ORDER IMAGES); the background's is named by the level.
  enum en_Picture {
    PictureNode = 0,
    PictureStartNode,
    PictureStartNodeHighlight,
    PictureStartNodeInvalid,
    PictureNodeHighlight,
    PictureNodeInvalid,
    PictureExit,
    PictureOutOfOrder,
    PictureSaveHaven,
    PictureDoubleTurn,
    PictureQuil,
    PictureAgent,
    PictureBackground,
    kImageCount
  };
  enum en_State { PlacingItems = 0, Playing = 1, Caught = 2, Over = 3 };
  enum en_Item { ItemOutOfOrder = 0, ItemSaveHaven = 1, ItemDoubleTurn = 2 };

  cl_TrainTravelPanel();
  ~cl_TrainTravelPanel() override;
  static i_Minigame* Create() { return new cl_TrainTravelPanel; }

  // ---- the game
  using i_Minigame::Init;
  bool Init(base::Variant* mission, bool restart) override;
  void End() override;
  bool IsFinished() override;
  bool HandleInput(base::ICMD& cmd) override;
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;
  bool GetPlayTarget(const char* name, float& x, float& y) override;  // "station <name>", the base's
  bool IsPlayCondition(const char* name) override;                    // "idle": also no figure travels

  virtual bool LoadScenario(base::String name);  // false: no scenario applies
  virtual void Restart();                        // counts a try and starts the board afresh
  virtual st_TrainNode* SetOriginNode(int index);  // the previous origin's record, or null
  virtual float GetScale() { return m_Scale; }
  virtual float GetOffsetY() { return m_OffsetY; }

  // Where the status line and the legend stand in the game area (areaTop, areaHeight: the board
  // picture as drawn, else the window): the status in the area's bottom band, the legend's rows
  // above it on the right, all inside the area.
  struct st_TextPlace {
    base::tVector2<float> statusTopLeft, statusBottomRight;
    base::tVector2<float> legend;
  };
  static st_TextPlace PlaceTextsIn(float areaTop, float areaHeight, float scale);

  bool ReadCompiledData();
  bool WriteCompiledData(const char* fileName);

  // ---- the board
  // Builds the board for one play: reads the graph member (only when m_ReloadGraph), places the
  // stations, applies the scenario or the random set-up. False (logged) for a missing or bad file.
  bool LoadGraph(base::String graphFile, base::String scenario, int agentCount, int outOfOrderCount);
  // Fills node from a "Node" element; true when all of Name, OriginDistance,
  // DestinationDistance, X and Y were present.
  // Takes graph as the graph file already read: the next LoadGraph builds from it (the editor's
  // play-test and level checks hand over the board they hold).
  void SetGraphData(const base::Variant& graph) {
    m_GraphData.copy(graph);
    m_ReloadGraph = false;
  }
  // Applies a scenario file already read (name: its file name, for the difficulty; member: for
  // messages): items, agents and closed stations on the loaded board.
  void ApplyScenario(const base::Variant& scenario, const base::String& name, const char* member);
  static bool ReadNode(const base::Variant& element, int index, st_TrainNode& node);
  static bool WriteNode(const st_TrainNode& node, base::Variant& element);
  st_TrainNode& GetNode(int index);  // index clamped to 0..49
  int GetNodeCount() const { return m_NodeCount; }
  int FindNodeByName(const char* name) const;  // -1 none
  int NodeAt(float x, float y) const;          // the station whose icon holds the point; -1 none
  st_TrainNode* SetDestinationNode(int index);
  // Removes station index (nothing for -1 or past the list): every link to it goes, one-way ones
  // too, the later stations move down one, and origin, destination, player and agents follow
  // them (a removed one becomes -1; agents on it leave the board). oldToNew, when given (50
  // entries), receives each old index's new one, -1 for the removed station.
  void DeleteNode(int index, int* oldToNew = nullptr);
  bool CanTravel(int from, int to, bool playerRules) const;
  // Fewest hops from from to target through passable stations (the target may carry any
  // flag); kNoRoute without a route, -1 for an index of -1.
  int PathLength(int from, int target, bool playerRules);
  int ShortestPathLength(int from, int target, bool playerRules);
  // The enterable neighbours of station with their hops to target plus one, ascending.
  void NeighbourDistances(int station, int target, std::vector<std::pair<int, int>>& out, bool playerRules);
  void PlaceRandomOutOfOrder(int count);
  void PlaceRandomAgents(int count);
  void SetPlayerNode(int station);
  void SetAgentNode(int station, int slot);
  base::tVector2<float> FigurePosition(int station) const;
  // The track's polyline from station a to station b: the same shape for the same pair and seed,
  // whatever else the board holds.
  void BuildTrack(base::Polygon2& out, int a, int b);
  void DrawBackground();
  void DrawTracks();
  void DrawNodes();
  void DrawFigures();  // the player's figure and the agents', at their current positions
  void DrawPicture(en_Picture picture, float x, float y, float scale);
  // The states every picture of the board is drawn with, set whole: a flat colour left by a fill,
  // a line or the editor's marker would otherwise become the colour of every picture.
  static void PreparePictures();
  static int GetNodeSize() { return s_NodeSize; }

  // ---- play state (read by tests and the editor)
  int GetState() const { return m_State; }
  int GetPlayerNode() const { return m_PlayerNode; }
  int GetAgentCount() const { return m_AgentCount; }
  int GetAgentNode(int slot) const { return slot >= 0 && slot < kMaxAgents ? m_AgentNodes[slot] : -1; }
  int GetTries() const { return m_Tries; }
  int GetDifficulty() const { return m_Difficulty; }
  bool IsItemAvailable(int item) const { return item >= 0 && item < 3 && m_ItemAvailable[item]; }
  bool IsAnimating() const { return !m_Movers.empty(); }
  int GetOriginNode() const { return m_OriginNode; }
  int GetDestinationNode() const { return m_DestinationNode; }
  const base::Variant& GetMissionElement() const { return m_MissionElement; }

  // The agents' turn and one agent's choice (routeLength: the player's hops to the goal + 1).
  void MoveAgents();
  int ChooseAgentMove(int agentNode, int routeLength);

 protected:
  bool Fail(const char* file, const char* what, int value);  // logs an "ERROR:" line, false
  void ApplyLinks(const char* file);
  void LayoutTexts();
  void AddTravel(float* figure, int from, int to);
  void FinishPlayerMove();
  void FinishAgentsTurn();
  void PlaceItem(int station);
  void DrawTexts();
  int CurrentItem() const;  // first available item, -1 none

  // board
  st_TrainNode m_Nodes[kMaxNodes];
  int m_NodeCount = 0;
  int m_OriginNode = -1;
  int m_DestinationNode = -1;
  int m_RandomSeed = 0;
  base::Variant m_GraphData;
  base::Variant m_MissionElement;
  base::String m_GraphFile;
  bool m_ReloadGraph = true;
  base::String m_BackgroundFile;
  float m_BackgroundX = 0.0f, m_BackgroundY = 0.0f;
  bool m_HasBackground = false;
  gfx::cl_Image* m_Images[kImageCount] = {};
  gfx::cl_Texture m_RailTexture;
  float m_FigureWidth = 0.0f, m_FigureHeight = 0.0f;
  static int s_NodeSize;

  // play
  int m_State = PlacingItems;
  int m_PlayerNode = -1;
  base::tVector2<float> m_PlayerFigurePos;
  int m_AgentNodes[kMaxAgents];
  int m_AgentCount = 0;
  base::tVector2<float> m_AgentFigurePos[kMaxAgents];
  float m_AgentPulse[kMaxAgents] = {};
  int m_HoverNode = -1;
  bool m_HoverValid = false;
  bool m_ItemAvailable[3] = {};
  int m_Difficulty = 1;
  int m_Tries = 0;
  std::list<std::unique_ptr<st_TrainMover>> m_Movers;
  bool m_PlayerMoved = false;
  bool m_AgentsMoving = false;
  float m_Time = 0.0f;
  float m_EndTime = 0.0f;
  float m_OffsetY = 0.0f;
  base::tVector2<float> m_StatusBox[2];
  base::tVector2<float> m_LegendPos;
};

}  // namespace quillane
