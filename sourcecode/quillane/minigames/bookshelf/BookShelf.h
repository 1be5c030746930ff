// cl_BookshelfPanel: the book-ordering mini-game ("Bookshelf"). Fourteen books stand shuffled
// in two rows of seven places on a shelf; a click picks a book up, a click on another place
// swaps the two, and so does a book dragged onto another place. Won when the upper row holds
// books 0 to 6 in order. The edges and Escape leave (lost), the skip button counts as won. With
// the game state's "BookMissing" = 1 book 3 is gone (neither drawn nor movable) and the skip
// button is withheld. Main thread only.
#pragma once

#include <array>

#include "base/math/Limit.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameDataFile.h"

namespace quillane {

class cl_BookshelfPanel : public i_Minigame {
 public:
  static constexpr int kBooks = 14;
  static constexpr int kRowLength = 7;
  static constexpr int kNoPlace = kBooks;

  cl_BookshelfPanel();
  ~cl_BookshelfPanel() override;
  static i_Minigame* Create();

  // Reads the data file once per instance, shuffles the places, reads "BookMissing", arms the
  // skip button. Always true (without pictures the game still plays).
  using i_Minigame::Init;  // the window's own Init stays reachable
  bool Init(base::Variant* mission, bool restart) override;
  void End() override;
  bool IsFinished() override;
  bool HandleInput(base::ICMD& cmd) override;
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;
  // "book <n>" (the place holding book n; none while it is carried), "place <n>"; the base's.
  bool GetPlayTarget(const char* name, float& x, float& y) override;

  // The background, the books and the skip strip, read or written by the open file's mode. A
  // file that does not fit leaves every picture empty (one "ERROR:" line) and gives false.
  bool Records(cl_MinigameDataFile& data);

  // Place i (0..13) in window pixels; places 0..6 are the upper row.
  static base::tRectf PlaceRect(int place);
  // The first place holding (x, y), or kNoPlace.
  static int PlaceAt(float x, float y);

  // For tests and the play-through: the book in each place (-1 while carried) and the state.
  const std::array<int, kBooks>& GetPlaces() const { return m_places; }
  int GetCarried() const { return m_carried; }
  bool IsSolved() const { return m_solved; }
  bool IsBookMissing() const { return m_bookMissing; }
  float GetEndTime() const { return m_endTime; }

 private:
  bool UpperRowInOrder() const;
  // A left release at (x, y) over place (kNoPlace for none): a click, or the end of a drag.
  bool ReleaseAt(int place, float x, float y);
  void PickUp(int place, float x, float y);  // the book of place into the hand (not the missing one)
  void PutDown(int place);                   // the book in hand swapped with place's, or back home
  static void DrawFrame(float left, float top, float right, float bottom);  // three pixels, outward
  static void DrawInstruction(const base::tRectf& viewport);

  gfx::cl_Image m_background;
  std::array<gfx::cl_Image, kBooks> m_books;
  std::array<int, kBooks> m_places{};
  bool m_solved = false;
  bool m_justSolved = false;
  bool m_left = false;
  bool m_loaded = false;
  int m_carried = -1;
  float m_time = 0.0f;
  float m_endTime = 0.0f;
  float m_grabOffset[2] = {0.0f, 0.0f};
  int m_sourcePlace = 0;
  int m_pressPlace = kNoPlace;  // where the left button went down with empty hands
  int m_edge = 0;
  bool m_bookMissing = false;
};

}  // namespace quillane
