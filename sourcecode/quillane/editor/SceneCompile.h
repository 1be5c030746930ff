// Compiling a scene from the editor (the panel's "Compile", "Export all scenes"): the scene is
// written only when the game could show and walk it, so nothing is reported as compiled that the
// game would show empty. The scene itself goes on past a file it cannot read; the editor names it.
#pragma once

#include <string>

namespace quillane {

class cl_Scene;

struct st_CompileOutcome {
  bool written = false;
  bool warning = false;  // written, but without a picture the project names
  std::string text;      // for the window: what was written and left out, or why nothing was
};

// Rebuilds the scene and writes "Scenes/<name>.dat" (cl_Scene::Save). Refused, with the old file
// left as it was and an "ERROR:" line, when a background picture or a nav mesh cannot be read or
// the scene has neither ("Scenes/<name>: not compiled: <file> cannot be read (<cause>)"). Another
// picture that cannot be read is left out with a "Warning:" line, and the text names it.
st_CompileOutcome CompileScene(cl_Scene& scene);

// The files the scene's last build could not read, "<file> (<cause>)" joined by ", "; empty when
// it read them all.
std::string DescribeUnreadFiles(const cl_Scene& scene);
// The first nav-mesh file it could not read, as "<file> cannot be read (<cause>)"; empty when none.
std::string DescribeUnreadFloor(const cl_Scene& scene);

}  // namespace quillane
