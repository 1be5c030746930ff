// st_SceneCallEvent: a call of a scene-script function that waits in the action queue's pending
// events until no scene or dialogue script runs and the session is shown again; the change of
// scene queues its "OnEnterScene" this way, to run after the loading screen.
#pragma once

#include "base/String.h"
#include "quillane/core/Event.h"

namespace script_bindings {

struct st_SceneCallEvent : public i_Event {
  st_SceneCallEvent(const base::String& scene, const base::String& function) : m_scene(scene), m_function(function) {}
  // Runs the function as the session's scene-script sequence ("CALL: scene::function" logged at
  // script warning level 2 and above); nothing without a session.
  void Execute() override;

  base::String m_scene;
  base::String m_function;
};

}  // namespace script_bindings
