// Arbitrary text as a dance move list, then 30 seconds of dancing on it: notes are made, fly,
// are missed and scored. Every note stays at a finite place, and every move is either made (or
// dropped) or still ahead of the song; the moves left count exactly the ones still ahead.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "../BaseFuzz.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "quillane/minigames/dance/DanceMinigame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 1 << 16)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  base::Variant list;
  if (!base::xml::read_text(list, text.c_str(), "fuzz.xml")) return 0;
  quillane::cl_DanceMinigame game;
  game.m_Scale = 1.0f;
  game.SetMoveList(list, "fuzz.xml");
  if (!(game.GetSpeed() > 0.0f) || !std::isfinite(game.GetSpeed())) __builtin_trap();
  game.StartDance();
  for (int frame = 0; frame < 300 && game.GetState() == quillane::cl_DanceMinigame::Dancing; ++frame) {
    game.Update(0.1f);
    for (const quillane::st_DanceNote& note : game.GetNotes())
      if (!std::isfinite(note.m_Position.x) || !std::isfinite(note.m_Position.y)) __builtin_trap();
  }
  const base::Variant& moves = game.GetMoveList();
  int ahead = 0;
  for (int i = 0; i < moves.size(); ++i) {
    if (moves[i].is_void()) continue;
    float time = 0.0f;
    moves[i].get_attribute_float("time", time);
    if (time < game.GetSongTime()) __builtin_trap();  // due, yet never made
    ++ahead;
  }
  if (ahead != game.GetMovesLeft()) __builtin_trap();
  quillane::cl_DanceMinigame::ResetScore();
  return 0;
}
