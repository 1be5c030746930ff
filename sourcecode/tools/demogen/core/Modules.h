// The generator modules, one per asset kind. ORDER MODULES: they run in this order. A new kind
// adds its line here and a file modules/<Name>.cpp defining Make<Name>.
#pragma once

#include <string>

#define DEMOGEN_MODULES(X)                                                       \
  X(TitleScreen, "title background and logo textures")                           \
  X(Pier, "the quay's pier, a LightWave object")                                 \
  X(Figure, "the figures' Ogre XML meshes, skeletons, clips and subsets")        \
  X(Models, "the figures' textures and the editors' axis model")                 \
  X(ScoreFont, "glyph sheet of the score font")                                  \
  X(ShowcasePictures, "wide title picture, lantern strip frames and the cursor") \
  X(Sound, "music and sound effects (Ogg Vorbis)")                               \
  X(SkinTextures, "the default skin's four textures")                            \
  X(Movies, "the intro and credits movies")                                      \
  X(NavMeshes, "the scenes' nav meshes with their cameras")                      \
  X(ScreenSkin, "progress bar, dialog and rounded frames, screen blender")       \
  X(Scenes, "the scenes' layers, strip frames and light pictures")               \
  X(GridGamePictures, "the wire-tap and floor-lights boards, terminals and tiles") \
  X(MenuPictures, "the menus' plates, buttons, logo and scroll-bar pieces")      \
  X(StartUpPictures, "splash screens, the loading picture and the cursors")      \
  X(OptionsPictures, "the options panel's slider, check box and tab pieces")     \
  X(LoadSavePictures, "the load/save panel's parchment, arrows, corners and bar") \
  X(HudPictures, "the interface bar, token, score-icon and dust pictures")         \
  X(OfficeMinigamePictures, "the bookshelf's shelf and books, the decoder's machine, knob and dial") \
  X(MinigameSkipStrips, "the mini-games' two-frame skip-button strips")           \
  X(TrainTravelPictures, "the train-travel board's stations, overlays, figures, rail and map") \
  X(SabotagePictures, "the sabotage panels, pipe tiles, strips and the train-travel item cursors") \
  X(DancePictures, "the dance game's note, glow, goal ring, score bar, fills and needed mark") \
  X(DiaryPictures, "the diary's cover, pages, fold shadow, bookmarks, headers and tabs") \
  X(Speech, "spoken lines (eSpeak NG) with their lip-sync files")                  \
  X(EditorPictures, "the editor's cursor and the file browser's first preview") \
  X(ViewerData, "the character viewer's material scripts, coat figure and lip-sync test")

namespace demogen {

class cl_Output;

#define DEMOGEN_DECLARE(name, what) bool Make##name(cl_Output& out);
DEMOGEN_MODULES(DEMOGEN_DECLARE)
#undef DEMOGEN_DECLARE

// demogen --projects: the scenes' ProjectFile.xml, written once and then checked in.
bool WriteSceneProjects(const std::string& dataDir);

}  // namespace demogen
