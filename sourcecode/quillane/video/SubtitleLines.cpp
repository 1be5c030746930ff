#include "quillane/video/SubtitleLines.h"

namespace {
i_SubtitleLines* g_lines = nullptr;
}

i_SubtitleLines* GetSubtitleLines() { return g_lines; }
void SetSubtitleLines(i_SubtitleLines* lines) { g_lines = lines; }
