// The options panel under the menus' headless fixture: a configuration with the three option
// groups, its defaults, a made-up display-mode list, the row pictures and recorded effects.
#pragma once

#include <string>
#include <vector>

#include "MenuFixture.h"
#include "quillane/menu/GameMenu.h"
#include "quillane/options/OptionEffects.h"
#include "quillane/options/OptionsPanel.h"
#include "quillane/screen/Fader.h"

namespace optionstest {

// Every effect call as one line: "FadeChannelVolume MUSIC 0.25 0.5".
class cl_RecordingEffects : public i_OptionEffects {
 public:
  void FadeMasterVolume(float level, float seconds) override;
  void FadeChannelVolume(const char* channel, float level, float seconds) override;
  void SetGamma(float gamma) override;
  void RequestDeviceReset() override { m_calls.push_back("RequestDeviceReset"); }
  void ReleaseAllActors() override { m_calls.push_back("ReleaseAll"); }
  int Count(const std::string& call) const;
  std::string LastFor(const std::string& prefix) const;  // the last call that starts with prefix
  std::vector<std::string> m_calls;
};

// A running game as far as the panel sees it.
class cl_StandInSession : public i_MenuSession {
 public:
  void SetPaused(bool paused) override { m_paused = paused; }
  void SetPendingRequest(const char*) override {}
  cl_Fader& GetFader() override;
  bool m_paused = true;
  cl_Fader m_fader;
};

class OptionsTest : public menutest::MenuTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes "config.xml" (and "default_config.xml" unless defaults is empty) with these option
  // trees and reloads the configuration.
  void WriteConfig(const std::string& options, const std::string& defaults, int width = 1024, int height = 768,
                   int refresh = 60);
  // Makes the panel (session: in a game) and opens it as the root menu does.
  void OpenPanel(i_MenuSession* session = nullptr);
  std::string Live(const char* path);  // the live option's text, "<none>" when missing
  std::string Display(const char* name);
  base::cl_Window* Row(const char* key);
  void Answer(int key);  // the newest message box gets the key, then fades out and answers
  void PressButton(const char* label);

  static std::string StandardOptions();
  static std::string DefaultOptions();

  cl_RecordingEffects m_effects;
  cl_OptionsPanel* m_panel = nullptr;  // a child of the GUI
  base::cl_Panel* m_mainMenu = nullptr;
};

}  // namespace optionstest
