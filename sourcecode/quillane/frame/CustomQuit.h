// The quit confirmation: closing the game window does not end the game at once but asks in a
// yes/no box drawn over the running game, which meanwhile stands still and gets no input. The
// engine holds the module as its custom quit module: while it is active the engine updates it
// instead of the module tree, draws it after the tree and hands it every input command.
#pragma once

#include <memory>
#include <vector>

#include "base/app/Module.h"
#include "base/gui/GUI.h"

class cl_Messagebox;

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
  // The open box, which answers here once its closing fade has run; answered boxes are deleted
  // afterwards (as after Render and ProcessInput).
  void Update(float time, float dt) override;
  void Render() override;  // the open box, with the game cursor
  // The open box gets the command (Enter answers "Ok", Escape "Cancel"). Always false.
  bool ProcessInput(base::ICMD& cmd) override;
  // "MB_quit" with "ctrl_label": "Ok" ends the program (the frame's ShutDown), anything else
  // closes the box. Other events are ignored. True.
  bool ProcessEvent(const base::Variant& event) override;

  cl_Messagebox* GetMessageBox() const { return m_pMessageBox; }  // the open box, or null

 private:
  cl_Messagebox* m_pMessageBox = nullptr;  // owned; in no window tree
  // Answered boxes: the answer comes from inside the box's own call, so they go after it returns.
  std::vector<std::unique_ptr<base::cl_Window>> m_Discarded;
  cl_Receiver m_Receiver;
  bool m_ready = false;  // constructed: the start-up's own Enable opens no box
};
