// The game's settings screen, built each time it opens from the configuration's "Options"
// description: a tab per group, a slider or check box row per option. Volumes and gamma follow
// the rows at once; "Ok" applies everything and saves "config.xml", "Cancel" restores the values
// from before opening, "Default" loads those of "default_config.xml".
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/gui/GUIBasicControls.h"
#include "quillane/options/OptionRows.h"
#include "quillane/screen/ScaledView.h"
#include "win32dx9/SysInfo.h"

class i_MenuSession;

class cl_OptionsPanel : public base::cl_Panel, public i_OptionLists {
 public:
  static constexpr float kWidth = 937, kHeight = 509;

  // Labelled "OptionsPanel", hidden and disabled, centred in the window; in a window too small for
  // it (800 x 600) the whole panel, its tabs included, is drawn smaller to fit and the mouse
  // reaches it where it is drawn. session: the running game's (its rows marked "No_Ingame" are
  // disabled; closing unpauses it), null in the main menu. Null when it cannot be allocated.
  static cl_OptionsPanel* Create(base::cl_GUI* gui, i_MenuSession* session = nullptr);
  ~cl_OptionsPanel() override;

  // Opening: copies "Options" and "Display", loads the defaults, builds the rows and buttons.
  // False (nothing done) when the description makes a child.
  bool Init(base::StaticVariantIterator desc) override;
  void Render(float px, float py) override;
  void Update(float) override {}
  bool ProcessInput(base::ICMD& cmd) override;  // Esc cancels, Enter accepts, the mouse goes to the rows
  bool ProcessEvent(const base::Variant& event) override;

  // With apply: saves unless a changed option needs a restart, which is asked first.
  void Accept(bool apply);
  using base::cl_Panel::Close;  // the toolkit's close queue, beside closing the options
  // keep: apply and save; else restore the options from opening and apply them. Then closed.
  void Close(bool keep);
  void ResetToDefaults();
  void ApplyImmediate();  // the selected tab's rows into "Options", then the live effects
  void ApplyOptions(bool immediateOnly);

  // True when the option's text differs from the one its row was built with (or it has none).
  bool IsChanged(const char* key, const std::string& text) const;
  bool NeedsRestart(const char* key, const std::string& text) const;

  // ---- display-mode lists
  // The display's resolutions, with the running one ("Display" Width and Height) among them.
  void BuildResolutionList();
  // The mode "Display" names (its RefreshRate, -1 without); false without a width and height.
  bool RunningMode(sysinfo::st_DisplayMode& out) const;
  // Fills the refresh list for the resolution (the running rate among them for the running size),
  // sets and returns the refresh slider's value; -1 without a refresh slider or resolution.
  float BuildRefreshList(int resolutionIndex, int rate);
  const sysinfo::st_DisplayMode* GetResolution(int i) const override;
  int GetRefreshRate(int i) const override;
  int FindResolution(int width, int height) const;  // 0 when absent
  int FindRefreshRate(int rate) const;              // -1 when absent
  int ResolutionIndexFromValue(float v) const override;
  int RefreshIndexFromValue(float v) const override;

  // ---- for the menus and tests
  const std::vector<OptionsTab>& GetTabs() const { return m_Tabs; }
  int GetSelectedTab() const;
  void SelectTab(int index);
  base::cl_Window* FindRow(const char* key) const;  // in any tab; null when absent
  const std::vector<sysinfo::st_DisplayMode>& GetResolutionList() const { return m_Resolutions; }
  const std::vector<int>& GetRefreshList() const { return m_RefreshRates; }
  const std::string& GetMode() const { return m_Mode; }  // the last mode string sent before showing
  const cl_ScaledView& GetView() const { return m_View; }

 private:
  cl_OptionsPanel(base::cl_GUI* gui, i_MenuSession* session);
  void BuildRows();
  void RenderPanel(float px, float py);
  bool ProcessPanelInput(base::ICMD& cmd);
  base::cl_Window* CreateRow(const std::string& key, base::Variant& option, float x, float y);
  void DestroyRows();
  void FinishClose();
  void SaveOptions();
  base::Variant& DisplayElement();  // the system configuration's "Display", created when missing

  base::cl_GUI* m_pGUI;  // not owned
  i_MenuSession* m_pSession;  // not owned; null outside a game
  base::Variant m_OptionsCopy;
  base::Variant m_Defaults;
  base::Variant m_Display;
  std::vector<OptionsTab> m_Tabs;
  std::map<std::string, base::Variant> m_Snapshot;
  std::vector<sysinfo::st_DisplayMode> m_Resolutions;
  std::vector<int> m_RefreshRates;
  cl_OptionsSlider* m_pRefreshSlider = nullptr;
  std::string m_ResolutionValueText;
  std::string m_RefreshValueText;
  std::string m_Mode;
  cl_ScaledView m_View;  // scaled: the panel stands where the view's texture has it
};
