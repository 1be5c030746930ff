// One row of the load/save panel's list: it reads its savegame's head, draws itself as a
// thumbnail with the name and an info line, and, while selected, the large preview with the three
// score bars beneath. Also the image-only button the list's scroll arrows are made of.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUIBasicControls.h"
#include "graphics/image/Image.h"

class cl_LoadSavePanel;

// What a row's info line tells, from a "SaveData" header (null or missing values count as 0).
struct st_SavegameSummary {
  int mission = 0;
  int chapter = 1;
  int hours = 0;
  int minutes = 0;
};
st_SavegameSummary SummariseSavegame(const base::Variant* header);
int ChapterOfMission(int mission);  // 1-2 → 1, 3-4 → 2, 5-7 → 3, 8 → 4, others → 1
// "Mission 3, Chapter 2, 1:05h" in the current language.
base::tString<base::BaseUnicodeString> FormatSavegameInfo(const st_SavegameSummary& summary);
// value / maximum of the header, in 0 … 1: NaN counts 0, an infinite ratio 1.
float ScoreRatio(const base::Variant* header, const char* value, const char* maximum);
int ScoreBarHeight(float ratio, int fullHeight);  // fullHeight × ratio, truncated
// name when it measures at most maxWidth, else its longest prefix that does (starting from
// maxWidth / the width of "e" characters) followed by ellipsis.
base::tString<base::BaseUnicodeString> CutNameToWidth(const base::tString<base::BaseUnicodeString>& name,
                                                     float maxWidth, const char16_t* ellipsis,
                                                     float (*measure)(const char16_t*));

class cl_SavegameField : public base::cl_Window {
 public:
  static constexpr float kNameWidth = 175.0f;

  explicit cl_SavegameField(cl_LoadSavePanel* owner);
  // Name, thumbnails and header from the file. A file that cannot be opened changes nothing; a
  // damaged one (logged) leaves the file name, no pictures and no header. False in both cases.
  bool ReadHeader();
  // The preview picture, once; false when it cannot be read.
  bool ReadPreview();
  void Render(float px, float py) override;
  // A left press on the row selects it; always false so the command goes on.
  bool ProcessInput(base::ICMD& cmd) override;
  // The preview, its frame pieces and the score bars; the panel calls it for the selected row.
  virtual void RenderDetails();

  base::tString<base::BaseUnicodeString> m_DisplayName;
  base::tString<base::BaseString> m_FileName;  // without folder and extension
  int m_Index = 0;
  bool m_bNewEntry = false;
  base::Variant m_Header;
  bool m_bHasColour = false;  // the thumbnails were built from the file
  bool m_bHasGrey = false;

 private:
  cl_LoadSavePanel* m_pOwner;  // not owned
  gfx::cl_Image m_Preview;
  gfx::cl_Image m_Grey;
  gfx::cl_Image m_Colour;
  bool m_bPreviewTried = false;  // a failed read is not repeated every frame
};

class cl_QLImageButton : public base::cl_Button {
 public:
  // Labelled label at (x, y), as large as image (not owned).
  cl_QLImageButton(const char* label, float x, float y, gfx::cl_Image* image);
  void Render(float px, float py) override;  // brighter while pressed

 private:
  gfx::cl_Image* m_pImage;
};
