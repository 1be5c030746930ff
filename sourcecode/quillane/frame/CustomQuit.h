// The quit confirmation: closing the game window does not end the game at once but asks in a
// yes/no box drawn over the running game, which meanwhile stands still and gets no input. The
// engine holds the module as its custom quit module: while it is active the engine updates it
// instead of the module tree, draws it after the tree and hands it every input command.
#pragma once

#include <memory>
#include <vector>

#include "base/app/Module.h"
#include "base/gui/GUI.h"

class cl_QuitBox;

class cl_CustomQuitModule : public base::cl_Module {
 public:
  static constexpr const char* kAnswerLabel = "MB_quit";
  static constexpr const char* kQuestion = "#rootm0_708 Do you really want to quit the game?";

  // The box's listener: hands the box's events to the module.
  class cl_Receiver : public base::cl_Window {
   public:
    bool ProcessEvent(const base::Variant& event) override;
    cl_CustomQuitModule* m_pModule = nullptr;
  };

  cl_CustomQuitModule();  // may be enabled; inactive
  ~cl_CustomQuitModule() override;

  // The base's Enable; then, active without a box, opens one. Returns the base's result.
  bool Enable(bool on) override;
  void Update(float time, float dt) override;  // the open box
  void Render() override;                      // the open box, with the game cursor
  // The open box gets the command; answered boxes are deleted afterwards. Always false.
  bool ProcessInput(base::ICMD& cmd) override;
  // "MB_quit" with "ctrl_label": "Ok" ends the program (the frame's ShutDown), anything else
  // closes the box. Other events are ignored. True.
  bool ProcessEvent(const base::Variant& event) override;

  cl_QuitBox* GetMessageBox() const { return m_pMessageBox; }  // the open box, or null

 private:
  cl_QuitBox* m_pMessageBox = nullptr;  // owned
  std::vector<std::unique_ptr<base::cl_Window>> m_Discarded;  // answered, deleted after the input
  cl_Receiver m_Receiver;
  bool m_ready = false;  // constructed: the start-up's own Enable opens no box
};

// The yes/no message box: a framed question with "Ok" and "Cancel" buttons in the default skin.
// A pressed button sends an event labelled with the answer label, carrying the button's label as
// "ctrl_label", to the listener.
class cl_QuitBox : public base::cl_Panel {
 public:
  static constexpr float kButtonWidth = 80.0f;
  static constexpr float kButtonHeight = 21.0f;

  // Centres a box of the given width in the window with the question and the two buttons.
  void Layout(const char* text, const char* answerLabel, float width, base::cl_Window* listener);
  void Render(float px, float py) override;
  bool ProcessEvent(const base::Variant& event) override;  // the buttons' presses

 private:
  base::tString<base::BaseString> m_answerLabel;
  base::cl_Window* m_listener = nullptr;
};
