// Stand-ins for the game-wide screen helpers until they land; removed then.
#pragma once

#include <cstdint>

void DrawHighlightRect(float x0, float y0, float x1, float y1);
void DrawRoundFrame(float x0, float y0, float x1, float y1, uint8_t alpha);
void PlayClickSound();
void PlayMouseOverSound();
