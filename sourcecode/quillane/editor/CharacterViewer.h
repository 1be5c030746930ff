// cl_CharacterViewer: the editor's full-screen panel for one character of the actor list: the
// figure turning on a grid under an orbiting camera, its clips played by rows, its emotes set by
// value rows, the lip-sync test, and the dialogs that add, edit and delete characters of
// "characters/characters.xml". The rows follow the current state every frame; they are its only
// children, each kept in its place (with its text's cut) while the state leaves it there.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "graphics/Camera.h"
#include "graphics/Texture.h"
#include "quillane/editor/PointerTrack.h"
#include "quillane/editor/SimpleWindow.h"
#include "quillane/editor/ViewerAnimCtrl.h"

namespace quillane {

// The actor list the viewer and its dialogs edit.
constexpr const char* kCharacterListFile = "characters/characters.xml";

// A new element labelled tag with "label" = label and the float "value" = value: a row's event.
base::Variant MakeRowEvent(const char* tag, const char* label, float value);

class cl_CharacterViewer : public base::cl_Panel {
 public:
  static constexpr float kMinDistance = 140.0f;
  static constexpr float kMaxDistance = 800.0f;
  static constexpr float kMaxSpeed = 2.0f;
  static constexpr const char* kStartActor = "Quillane_EveningDress";

  static cl_CharacterViewer* Open();  // null when allocation fails; the caller adds it to the GUI
  static base::cl_Window* Create() { return Open(); }  // the menu's launcher
  cl_CharacterViewer();
  ~cl_CharacterViewer() override;

  void ResetView();  // view, toggles and folders back to their start
  // Makes the rows anew from the current state: each in the place of the row before it, extra
  // rows deleted.
  void Build();
  // The rows, then the 3D view: grid, figure (or its skeleton), light gizmo and caption.
  void Render(float px, float py) override;
  void Update(float dt) override;
  // Scroll bar, rows, keys, mouse; takes every command while open.
  bool ProcessInput(base::ICMD& cmd) override;
  // The rows' events and the dialogs' answers; true for every element.
  bool ProcessEvent(const base::Variant& event) override;

  // Material script at path into character's "Mesh" materials and "Texture" elements, texture
  // files prefixed with folder.
  static void ImportMaterialScript(base::Variant& character, base::tString<base::BaseString> path,
                                   base::tString<base::BaseString> folder);
  // Drops label from the list file and the registry; the first remaining actor, loaded, becomes
  // current.
  void RemoveCharacter(base::tString<base::BaseString> label);
  // The set-up dialog wrote label's element: the registry reads the list again (the rows show a
  // new character at once), and a record made from the old element is made anew, shown anew
  // when it is the current actor.
  void ShowSavedCharacter(const base::tString<base::BaseString>& label);

  // The current actor's label, "" without one.
  base::tString<base::BaseString> GetCurrentLabel() const;
  // The camera placed as Render places it.
  void PlaceCamera();

  cl_CharacterViewerAnimCtrl animCtrl;
  base::cl_Camera camera;
  bool paused = false;
  float orbitYaw = 0.0f;
  float orbitPitch = 0.0f;
  float lookAtHeight = 0.0f;
  float distance = 0.0f;
  float lightPitch = 0.0f;
  float lightYaw = 0.0f;
  bool flatLighting = false;
  bool skeletonView = false;
  gfx::cl_Texture silhouette;
  bool loop = true;
  bool pelvisMarker = false;
  float speed = 1.0f;
  cl_SimpleScrollBar scrollBar;
  bool charactersOpen = true;
  bool animationsOpen = false;
  bool emotesOpen = false;

 private:
  void BuildLeftColumn();
  void BuildRightColumn();
  cl_SimpleWindow* AddRow(const base::Variant& event, const char* text, float x, float y, float width,
                          uint32_t style);
  void ProcessCharacterCommand(const base::tString<base::BaseString>& command);
  void OpenSetupDialog(const base::tString<base::BaseString>& name);
  void OpenNewCharacterDialog();
  bool ProcessKey(const base::ICMD& cmd);
  // Drags turn, lift and move the view by the pointer's way (dx, dy).
  void ProcessMouseMove(const base::ICMD& cmd, float dx, float dy);
  // The control leaves the old record before it may go: its clips may be playing or fading out.
  void MakeCurrent(cl_ActorDesc* actor);
  void RenderScene();
  void RenderLightGizmo(const base::tVector3<float>& d);

  st_PointerTrack m_pointer;
  size_t m_builtRows = 0;  // rows Build has made anew so far
};

}  // namespace quillane
