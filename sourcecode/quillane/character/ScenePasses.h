// The drawing passes of a scene with characters standing in it, one sequence for every caller
// (the game's stage, the dance's stage): the layers behind, the characters' mirror images in the
// floor, their shadows, the characters depth-sorted among the stage layers (drawn from a closer
// camera while the developers' 'C' key is held), the layers in front and the scene's debug
// drawing. The characters are drawn as they were last posed. Main thread, inside a frame.
#pragma once

#include <list>

#include "base/math/Limit.h"

namespace quillane {

class cl_Character;
class cl_Scene;

struct st_ScenePasses {
  bool blur = false;     // the scene's "blur" layer in place of its heaven and background layers
  bool navMesh = false;  // the first nav mesh's debug view over the floor, under the characters
};

// Draws into rect: the viewport is set to it (and left so), the scene camera takes it.
void RenderScenePasses(cl_Scene& scene, const std::list<cl_Character*>& characters, const base::tRectf& rect,
                       const st_ScenePasses& passes);

}  // namespace quillane
