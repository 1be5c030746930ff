// cl_WiretapPanel: the mini-game "Wiretap", a square-celled switch board of line tiles that the
// player lifts, swaps and turns until one closed circuit joins the terminals In (above the
// grid), Out (right of it) and Tap (below it) without a loose line end. The grid, the trace, the
// input rules, the clock and the drawing are the base of the other grid games (floor lights, the
// sabotage grid), which replace the terminals, the win rule, the art and the data file through
// the virtual operations below. Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "base/String.h"
#include "base/data/Variant.h"
#include "graphics/Texture.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/Minigame.h"

namespace quillane {

class cl_MinigameDataFile;

class cl_WiretapPanel : public i_Minigame {
 public:
  // Openings of a tile (ORDER SIDES: up, left, down, right is also the order a turn moves them).
  enum en_Side { SIDE_UP = 1, SIDE_LEFT = 2, SIDE_DOWN = 4, SIDE_RIGHT = 8 };
  // Terminal marks: which opening of a terminal's tile is satisfied by the terminal.
  enum en_Terminal { TERMINAL_IN = 0, TERMINAL_OUT = 1, TERMINAL_TAP = 2, TERMINAL_LEFT = 3, TERMINAL_NONE = 21 };
  static constexpr int kTextureCount = 21;
  static constexpr int kFirstTilePicture = 6;  // tile00, the blank
  static constexpr int kLastTilePicture = 10;  // tile04, the straight
  static constexpr int kLitOffset = 4;         // a tile's lit picture follows at index + 4
  static constexpr int kMinGridSide = 3;
  // Nothing on a screen shows more; a level asking for more is cut to this.
  static constexpr int kMaxGridSide = 16;

  // One tile of the board.
  struct st_Tile {
    explicit st_Tile(int texture);  // also resets the class statics
    // Stores the picture index and sets the openings from its kind (blank for any other index).
    void SetTexture(int index);
    // One quarter turn counter-clockwise on the screen; snap shows the new angle at once.
    void Rotate(bool snap);
    // Whether the point lies strictly inside the hit box of size at anchor + hit offset (the
    // offset in layout pixels, drawn at scale).
    bool Contains(float x, float y, float size, float scale) const;
    // Marks this tile visited and follows every opening; true when every opening reachable from
    // here meets its neighbour's facing opening or the terminal of its own side. Lights the
    // neighbours reached.
    bool TraceCircuit();

    int m_Mask = 0;
    int m_Terminal = TERMINAL_NONE;
    int m_TextureIndex = 0;
    st_Tile* m_Up = nullptr;
    st_Tile* m_Right = nullptr;
    st_Tile* m_Down = nullptr;
    st_Tile* m_Left = nullptr;
    float m_AnchorX = 0.0f, m_AnchorY = 0.0f;
    float m_HitOffsetX = 0.0f, m_HitOffsetY = 0.0f;
    bool m_Lit = false;
    bool m_Visited = false;
    float m_Angle = 0.0f;
    float m_ShownAngle = 0.0f;

    static float s_QuarterTurn;
    static float s_FullTurn;
    static float s_FizzleClock;  // seconds since the fizzle sound started; 0 while nothing is lit
    static float s_FlickerValue;  // input of the flicker noise
    static float s_FlickerWindow;
  };

  cl_WiretapPanel();
  ~cl_WiretapPanel() override;
  static i_Minigame* Create();
  // The wire-tap game's terminal pictures (In, Out, Tap, then their lit forms) by texture index
  // 0 to 5; null for any other index.
  static const char* TerminalPictureFile(int index);

  // ---- i_Minigame
  using i_Minigame::Init;  // the window's own Init stays reachable
  bool Init(base::Variant* mission, bool restart) override;
  void End() override;
  bool IsFinished() override;
  bool HandleInput(base::ICMD& cmd) override;
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;
  bool GetPlayTarget(const char* name, float& x, float& y) override;  // "cell <column> <row>", the base's
  bool IsPlayCondition(const char* name) override;                    // "idle": also no tile still turning

  // ---- the grid games' own operations
  virtual bool WriteDataFile(const char* fileName);
  bool ReadDataFile();  // the data file the game was registered with
  // Reads the grid file (a member of "MinigameData") and builds the board from it; a missing file
  // gives the 3 x 3 blank board.
  virtual bool ReadGrid(base::tString<base::BaseString> path);
  // The cursor for the pointer at (x, y), and which screen-edge exit it is over.
  virtual void UpdateCursor(bool overTile, float x, float y);
  // Marks the terminals, traces the circuit from In and lights it; true when Out (and, with
  // needTap, Tap) is reached by a closed circuit.
  virtual bool CheckSolved(bool needTap);
  virtual void DrawOverlay(float x, float y);
  virtual void DrawTerminals(float x, float y);
  virtual bool Restart();  // Init again with the kept mission element, keeping the art

  // ---- shared with the derived grid games
  // Builds the board from a parsed grid document (the root element); file names the source in
  // messages. Bad values are logged and replaced by safe ones. Always true.
  bool BuildGrid(const base::Variant& document, const char* file);
  // Reads or writes the data file's records, in the game's order, by the file's open mode; false
  // (after one "ERROR:" line) when the file is damaged, short, or cannot be written.
  bool ArchiveDataFile(cl_MinigameDataFile& file);
  // The tiles at (x + anchor) · scale, their pictures scale times the board scale.
  void DrawTiles(float x, float y, float scale);
  void DrawLitTerminal(float x, float y, int index);
  // The first tile in row order whose hit box holds the point, other than excluded; null if none.
  st_Tile* TileAt(float x, float y, const st_Tile* excluded) const;
  // The tile in a cell; null outside the grid or on an empty cell.
  st_Tile* TileAtCell(int column, int row) const;
  bool FindTile(const st_Tile* tile, int& row, int& column) const;
  // The middle of a cell's hit box on the board (whatever tile is lifted from it); false outside
  // the grid.
  bool CellMiddle(int column, int row, float& x, float& y) const;
  void SwapTiles(st_Tile* a, st_Tile* b);
  void LinkNeighbours();
  bool LinkCell(int row, int column);
  void ClearMarks();
  void ClearLit();
  bool HasMovedFromPress(float x, float y) const;
  bool IsTurning() const;  // a tile's drawn angle has not reached its angle yet

  // Where the board goes in a window: the grid's frame centred across, the grid itself centred
  // down, and the cells 128 layout pixels inside the frame, at the board scale (the layout
  // scale, at most 1).
  struct st_BoardPlace {
    float scale = 1.0f;
    float gridBackX = 0.0f, gridBackY = 0.0f;
    float originX = 0.0f, originY = 0.0f;
  };
  static st_BoardPlace PlaceBoardIn(int64_t windowWidth, int64_t windowHeight, float layoutScale, int gridBackWidth,
                                    int gridBackHeight);

  // ---- read-only views (the drivers and checks of the headless runs)
  bool IsSolved() const { return m_Solved; }
  int GetColumns() const { return static_cast<int>(m_Columns); }
  int GetRows() const { return static_cast<int>(m_Rows); }
  float GetOriginX() const { return m_OriginX; }
  float GetOriginY() const { return m_OriginY; }
  float GetCellSize() const { return BoardCell(); }  // on the screen
  int GetExitZone() const { return m_ExitZone; }
  float GetTime() const { return m_Time; }
  const st_Tile* GetPicked() const { return m_Picked; }
  void GetTerminalCell(int index, int& column, int& row) const;
  gfx::cl_Texture& GetTexture(int index) { return m_Textures[index]; }

 protected:
  // Loads a picture into an image; a missing or unreadable one logs the compile message and
  // leaves the image empty. False when it was missing.
  bool CompileBoardImage(gfx::cl_Image& image, const char* file);
  // What every grid game's Init does first: without restart the data file (failing with the
  // game's message) and the board's place; then the mission copy, a fresh play and the skip
  // button's delay. False when the data file cannot be read.
  bool StartBoard(base::Variant* mission, bool restart, const char* failure);
  // The images of the data file, in record order (the derived games add theirs).
  virtual std::vector<gfx::cl_Image*> DataImages();
  // The tile and lit-tile textures (6 to 14) from the wire-tap pictures, centred in the middle.
  void CompileTileTextures();
  // The terminal textures (0 to 5) from the wire-tap pictures, at their top-left corner.
  void CompileTerminalTextures();
  // Anchors of every tile in its cell (the drawing moves them again each frame).
  void PlaceTiles();
  void AnchorInCell(st_Tile& tile, size_t row, size_t column) const;
  // Grid back, origin and panel positions from the art's sizes and the window.
  void PlaceBoard();
  void PlayClick();
  // The flicker opacity of a lit picture, set on the blend state while the fizzle clock runs.
  void ApplyFlicker();
  // The terminal picture positions of the wire-tap terminal table.
  void PlaceWiretapTerminals();

  gfx::cl_Image m_Back, m_GridBack, m_GridFront, m_Note;
  gfx::cl_Texture m_Textures[kTextureCount];
  float m_GridBackX = 0.0f, m_GridBackY = 0.0f;
  float m_OriginX = 0.0f, m_OriginY = 0.0f;
  int m_CellSize = 128;
  // The board's screen pixels per layout pixel: below 1 in a window narrower than the layout, so
  // that the board keeps to the game area as the panel behind it does.
  float m_BoardScale = 1.0f;
  float BoardCell() const { return static_cast<float>(m_CellSize) * m_BoardScale; }
  float m_Columns = 0.0f, m_Rows = 0.0f;
  std::vector<std::vector<std::unique_ptr<st_Tile>>> m_Grid;  // [row][column]
  st_Tile* m_Picked = nullptr;
  float m_PressX = 0.0f, m_PressY = 0.0f;
  float m_GrabX = 0.0f, m_GrabY = 0.0f;
  float m_TerminalPos[kTextureCount][2] = {};
  float m_TerminalCell[kTextureCount][2] = {};  // (column, row)
  bool m_Solved = false;
  bool m_Exit = false;
  float m_PanelY = 0.0f;
  float m_Time = 0.0f;
  float m_EndTime = 0.0f;
  int m_ExitZone = 0;  // 0 none, 1 left screen edge, 2 right
  base::Variant m_MissionElement;
};

}  // namespace quillane
