// cl_ActorDesc: the shared, loaded-once description of a kind of character (mesh, skeleton with
// every clip, textures at three levels of detail, default clip names). Loaded on first demand
// from its compiled file "Characters/<label>.dat", or imported from the sources its element of
// the actor list names and then compiled into that file. Skeletons, clips and subsets are found
// up the parent chain; the model is never inherited. Main thread only.
#pragma once

#include <set>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/math/Matrix4.h"
#include "base/String.h"
#include "graphics/NamedList.h"
#include "graphics/Texture.h"

namespace base {
class File;
class cl_Animation;
class cl_Camera;
class cl_Mesh;
class cl_Skeleton;
struct cl_SkeletonSubset;
}  // namespace base

namespace gfx {
class cl_Model;
}

namespace quillane {

class cl_ActorRegistry;

using tTextureSet = base::tNamedList<gfx::cl_Texture>;

class cl_ActorDesc {
 public:
  static constexpr int kLevels = 3;          // levels of detail 0 (full) .. 2
  static constexpr int kMaxParentSteps = 16;  // longer parent chains are taken as a cycle

  // A record for the list element (label from "label"), not loaded; registry serves the parent
  // look-ups.
  cl_ActorDesc(cl_ActorRegistry* registry, base::StaticVariantIterator element);
  ~cl_ActorDesc();
  cl_ActorDesc(const cl_ActorDesc&) = delete;
  cl_ActorDesc& operator=(const cl_ActorDesc&) = delete;

  // Nothing when loaded. Reads the compiled file when it exists and is sound; otherwise imports
  // from the sources and writes the compiled file (and the side files with
  // LOD_SeparateFilesForCharacters). Loaded afterwards, also when writing failed.
  void Load();
  void Import() { Load(); }  // the editors' name for it
  // The compiled file from its start: true when it is sound. A damaged file logs one "ERROR:"
  // line and leaves the record without skeleton and model.
  bool Read(base::File* file);
  // Items 1-4 of the compiled file: the seven strings, idleSpeed, skeleton and model records.
  void WriteHeader(base::File* file);
  // Unloads (skeleton and model deleted) unless the label is "male", "female" or "quillane".
  void Release();

  // Own skeleton, else imported from skeletonElement, else the parent chain's; null at its end.
  base::cl_Skeleton* GetSkeleton();
  base::cl_Skeleton* GetParentSkeleton();  // cached
  cl_ActorDesc* GetParent();               // cached; null without parent
  // The clip of that name up the parent chain; a miss falls back to "idle" with a log line, once
  // per name while the actor stays loaded (a character asks for its walk every frame).
  base::cl_Animation* GetAnimation(const char* name);
  // As GetAnimation, but null for a miss (no fallback, no log line): for optional clips.
  base::cl_Animation* FindAnimation(const char* name);
  base::cl_Animation* GetIdleAnimation() { return GetAnimation(idleAnimation.c_str()); }
  base::cl_Animation* GetWalkAnimation() { return GetAnimation(walkAnimation.c_str()); }
  base::cl_Animation* GetTurnAroundCW() { return GetAnimation("turnaround_cw"); }
  base::cl_Animation* GetTurnAroundCCW() { return GetAnimation("turnaround_ccw"); }
  // The subset of that name up the parent chain; null at its end.
  base::cl_SkeletonSubset* FindSubset(const char* name);
  // The rotation that turns the figures (modelled facing +z) to the game's facing.
  static base::Matrix4 DefaultOrientation();
  // Draws the model posed by the skeleton's last pose; WORLD = DefaultOrientation() × world.
  void RenderModel(const base::Matrix4& world, base::cl_Camera* camera);

  const base::tString<base::BaseString>& GetLabel() const { return label; }
  bool IsLoaded() const { return loaded != 0; }
  // "Characters/<label>.dat"
  base::tString<base::BaseString> GetCompiledFileName() const;
  // "%s_%i.dat" from the compiled file's name less its extension: the side file of a level.
  static base::tString<base::BaseString> GetLevelFileName(const base::tString<base::BaseString>& compiled, int level);

  unsigned char loaded = 0;
  gfx::cl_Model* model = nullptr;            // owned
  base::cl_Mesh* mesh = nullptr;             // owned; only an import makes it
  base::cl_Skeleton* skeleton = nullptr;     // owned; null when the parent's is used
  base::cl_Skeleton* parentSkeleton = nullptr;  // cache of the parent's
  cl_ActorDesc* parentDesc = nullptr;           // cache of the parent record
  base::StaticVariantIterator element;          // this actor's element of the list
  base::StaticVariantIterator meshElement, skeletonElement;  // found by an import; nil otherwise
  base::tString<base::BaseString> label;
  base::tString<base::BaseString> parent;
  base::tString<base::BaseString> meshFile, skeletonFile;
  base::tString<base::BaseString> idleAnimation{"idle"};
  base::tString<base::BaseString> walkAnimation{"walk"};
  base::tString<base::BaseString> talkAnimation{"talk_idle"};
  float idleSpeed = 1.0f;

 private:
  // Import steps.
  void ImportFromSources();
  void ImportTexture(base::StaticVariantIterator child, tTextureSet sets[kLevels]);
  void ImportMesh();
  void ImportSkeleton();
  void WriteCompiled(tTextureSet sets[kLevels], bool anyTexture);
  // Read steps.
  bool ReadTextures(base::File* file, unsigned char separateFiles);
  // Own skeleton, imported from skeletonElement first when needed; null when neither.
  base::cl_Skeleton* GetOwnSkeleton();
  // Walks the chain from this record; fn returns true to stop. Logs a cycle once per walk.
  template <class F>
  void ForEachInChain(F&& fn);
  void ClearLoaded();

  cl_ActorRegistry* m_registry;
  std::set<std::string> m_reportedMisses;  // clips GetAnimation already said were missing
};

}  // namespace quillane
