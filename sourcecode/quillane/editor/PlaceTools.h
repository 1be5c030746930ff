// What the editor's placement tools (hotspots, lights, locators) share: the end of a tool, the
// name its dialog answered with, the lit 3D state they draw their gizmos in and the gizmo itself;
// and the key help line of every tool over the scene.
#pragma once

#include "base/String.h"
#include "base/math/Matrix4.h"

namespace base {
class Variant;
class cl_Camera;
class cl_Window;
}  // namespace base

namespace quillane {

// The tool hands itself to its GUI's close queue and shows its listener (null: none) again.
void EndPlacementTool(base::cl_Window* tool, base::cl_Window* listener);
// The name dialog's "label"; "error" when it has none.
base::tString<base::BaseString> EnteredLabel(const base::Variant& answer);
// Depth test and lighting for the gizmos: grey ambient light and one directional light along the
// camera's look direction.
void BeginGizmoLighting(const base::cl_Camera& camera);
// The editor's "axis" model at world; nothing when the resource is missing.
void DrawAxisGizmo(const base::Matrix4& world);
// Back to the whole back buffer in 2D, as the GUI after the tool expects it.
void EndToolDrawing();
// The keys a tool takes, as one grey line at (x, y) (2D, after EndToolDrawing): the crop and
// placement tools and the test walk show how to use and leave them.
void DrawKeyHelp(int x, int y, const char* keys);
// A line in the warning colour on a dark backing (2D, after EndToolDrawing), cut to the window's
// width, at the viewport's left below the scene's own lines there: what a tool refused or cannot
// show.
void DrawToolWarning(const char* text);
// The warning a tool shows when a press found no floor to place on: without a nav mesh a scene
// has no camera of its own to pick through.
void DrawMissedPick();

}  // namespace quillane
