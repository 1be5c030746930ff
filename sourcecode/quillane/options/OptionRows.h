// The rows of the options panel: a stepped slider and a check box per option, the tab that groups
// them, and the number texts the panel compares to notice a change. Slider values are 0..1; the
// display-mode sliders turn them into list indices through i_OptionLists.
#pragma once

#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/gui/GUIBasicControls.h"

namespace sysinfo {
struct st_DisplayMode;
}

// The index of the list entry a normalised value stands for: entries at k / (n - 1). n <= 1
// gives 0; never above n - 1 (also for an infinite value; nan gives 0).
int IndexFromValue(float v, int n);

// Number texts as the C library prints them in the C locale, whatever the process locale is.
std::string FormatOptionG(float v);  // "%g"
std::string FormatOptionF(float v);  // "%f"
std::string FormatOptionD(int v);    // "%d"
// The leading number of text (blanks skipped), 0 when it has none; C-locale form.
float ParseOptionNumber(const std::string& text);
// A row's value as the change tests see it: a float as "%g", an integer as "%d", a text as is.
std::string OptionValueText(const base::Variant& v);

// What the display-mode sliders need of their panel to name their value.
class i_OptionLists {
 public:
  virtual ~i_OptionLists() = default;
  virtual const sysinfo::st_DisplayMode* GetResolution(int i) const = 0;  // null when out of range
  virtual int GetRefreshRate(int i) const = 0;                            // -1 when out of range
  virtual int ResolutionIndexFromValue(float v) const = 0;
  virtual int RefreshIndexFromValue(float v) const = 0;
};

// One option group: a tab and its rows (owned; their parent pointer is the panel, but they are
// not among its children).
struct OptionsTab {
  std::u16string name;
  float x = 0, y = 0, w = 0, h = 0;  // relative to the panel
  bool selected = false;
  std::vector<base::cl_Window*> rows;
};

// The tab's caps and stretched middle ("_disabled" pictures while not selected) and its name
// centred in it.
void DrawOptionsTab(float x1, float y1, float x2, float y2, const std::u16string& name, bool selected);

// A slider with a picture handle. With steps of 2 or more the value snaps to k / (steps - 1);
// fewer steps make it continuous.
class cl_OptionsSlider : public base::cl_Panel {
 public:
  // Relative rectangle and parent, value 0 and the handle at the left end.
  void Setup(float x, float y, float w, float h, base::cl_Window* parent);
  // The text shown right under the slider by the output format; false when it names no type.
  bool GetValueText(std::u16string& out) const;

  void UpdateRect(float px, float py) override;  // also places the handle for a new value
  void Render(float px, float py) override;
  bool ProcessInput(base::ICMD& cmd) override;

  using base::cl_Panel::GetValue;
  float GetValue() const;
  void SetValue(float v);  // also what the handle shows at the next render
  float GetSteps() const { return m_Steps; }
  void SetSteps(float steps) { m_Steps = steps; }
  void SetImmediateUpdate(bool on) { m_bImmediateUpdate = on; }
  void SetOutputFormat(const base::Variant& format) { m_OutputFormat = format; }
  bool IsDragging() const { return m_bDragging; }
  float GetHandleX() const { return m_HandleX; }
  float GetHandleX2() const { return m_HandleX2; }

 private:
  bool IsStepped() const { return m_Steps > 1; }
  float ClampHandleX(float x) const;
  float ValueFromHandle() const;
  float HandleXFromValue(float v) const;
  void DragTo(float x);
  float SnapToStep(float v) const;

  float m_Steps = 0;
  float m_HandleX = 0, m_HandleY = 0, m_HandleX2 = 0, m_HandleY2 = 0;
  float m_HandleW = 0, m_HandleH = 0;
  bool m_bDragging = false;
  bool m_bImmediateUpdate = false;
  float m_LastValue = 0;
  float m_LastLeft = 0;  // the absolute left the handle was placed for
  base::Variant m_OutputFormat;
};

// A check box with picture states; its value is the option value (checked while its integer is
// not 0). A disabled box swallows clicks.
class cl_OptionsCheckBox : public base::cl_CheckBox {
 public:
  cl_OptionsCheckBox();  // the size of "options_checkbox" (0 x 0 without it)
  bool ProcessInput(base::ICMD& cmd) override;
  void Render(float px, float py) override;
};
