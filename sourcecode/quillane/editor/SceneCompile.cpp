// The editor's compile of a scene and its word on the files the scene could not read.
#include "quillane/editor/SceneCompile.h"

#include <cstring>
#include <initializer_list>

#include "base/ErrorCatcher.h"
#include "base/system.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

std::string CannotBeRead(const st_UnreadSceneFile& unread) {
  return unread.file + " cannot be read (" + unread.cause + ")";
}

// The first file of one of the groups that the scene could not read; empty when none.
std::string FirstUnread(const cl_Scene& scene, std::initializer_list<const char*> groups) {
  for (const st_UnreadSceneFile& unread : scene.GetUnreadFiles())
    for (const char* group : groups)
      if (std::strcmp(unread.group, group) == 0) return CannotBeRead(unread);
  return std::string();
}

// Why the rebuilt scene must not be written: without these the game shows an empty room or has
// nowhere to stand anyone. Empty when it may.
std::string Refusal(const cl_Scene& scene) {
  const std::string unread = FirstUnread(scene, {"BackgroundElements", "NavMeshes"});
  if (!unread.empty()) return unread;
  if (scene.BackgroundElements.empty() && scene.NavMeshes.empty())
    return "it has neither a background picture nor a nav mesh";
  return std::string();
}

}  // namespace

std::string DescribeUnreadFiles(const cl_Scene& scene) {
  std::string text;
  for (const st_UnreadSceneFile& unread : scene.GetUnreadFiles())
    text += (text.empty() ? "" : ", ") + unread.file + " (" + unread.cause + ")";
  return text;
}

std::string DescribeUnreadFloor(const cl_Scene& scene) { return FirstUnread(scene, {"NavMeshes"}); }

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
