// The editor's compile of a scene and its word on the files the scene could not read.
#include "quillane/editor/SceneCompile.h"

#include <cstring>

#include "base/ErrorCatcher.h"
#include "base/system.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

std::string Named(const st_UnreadSceneFile& unread) { return unread.file + " (" + unread.cause + ")"; }

// Without these the game shows an empty room or has nowhere to stand anyone.
bool IsNeeded(const st_UnreadSceneFile& unread) {
  return std::strcmp(unread.group, "BackgroundElements") == 0 || std::strcmp(unread.group, "NavMeshes") == 0;
}

// Why the rebuilt scene must not be written; empty when it may.
std::string Refusal(const cl_Scene& scene) {
  for (const st_UnreadSceneFile& unread : scene.GetUnreadFiles())
    if (IsNeeded(unread)) return unread.file + " cannot be read (" + unread.cause + ")";
  if (scene.BackgroundElements.empty() && scene.NavMeshes.empty()) return "it has neither a background picture nor a nav mesh";
  return std::string();
}

}  // namespace

std::string DescribeUnreadFiles(const cl_Scene& scene) {
  std::string text;
  for (const st_UnreadSceneFile& unread : scene.GetUnreadFiles()) text += (text.empty() ? "" : ", ") + Named(unread);
  return text;
}

st_CompileOutcome CompileScene(cl_Scene& scene) {
  st_CompileOutcome outcome;
  const std::string name = scene.GetName().c_str();
  const std::string path = cl_Scene::GetDataPath(name.c_str()).c_str();
  std::string refusal;
  base::cl_ErrorCatcher errors;
  outcome.written = scene.Save([&refusal](const cl_Scene& built) {
    refusal = Refusal(built);
    return refusal.empty();
  });
  if (!refusal.empty()) {
    outcome.text = "Scenes/" + name + ": not compiled: " + refusal;
    base::sys::Output("ERROR: %s; %s is left as it was\n", outcome.text.c_str(), path.c_str());
    return outcome;
  }
  if (!outcome.written) {
    outcome.text = errors.Cause((path + ": the scene could not be compiled").c_str());  // before the line below
    base::sys::Output("ERROR: %s: the scene could not be compiled; the old file stays\n", path.c_str());
    return outcome;
  }
  outcome.text = "Compiled " + path;
  const std::string left = DescribeUnreadFiles(scene);
  if (!left.empty()) {
    outcome.warning = true;
    outcome.text += " without " + left;
    base::sys::Output("Warning: %s was compiled without %s\n", path.c_str(), left.c_str());
  }
  return outcome;
}

}  // namespace quillane
