// cl_ActorDesc: construction, release, the look-ups up the parent chain and drawing. Loading and
// the compiled file are in ActorImport.cpp and ActorFile.cpp.
#include "quillane/actor/ActorDesc.h"

#include <cstdio>
#include <cstring>
#include <numbers>

#include "base/math/Quaternion.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "quillane/actor/ActorRegistry.h"

namespace quillane {

namespace {

// The actors every scene may need; they stay loaded for the whole run.
bool IsResident(const base::tString<base::BaseString>& label) {
  return label == "male" || label == "female" || label == "quillane";
}

}  // namespace

cl_ActorDesc::cl_ActorDesc(cl_ActorRegistry* registry, base::StaticVariantIterator element_)
    : element(element_), m_registry(registry) {
  element.get_attribute_string("label", label);
}

cl_ActorDesc::~cl_ActorDesc() {
  delete model;
  delete mesh;
  delete skeleton;
}

base::tString<base::BaseString> cl_ActorDesc::GetCompiledFileName() const {
  base::tString<base::BaseString> name("Characters/");
  name += label;
  name += ".dat";
  return name;
}

base::tString<base::BaseString> cl_ActorDesc::GetLevelFileName(const base::tString<base::BaseString>& compiled,
                                                              int level) {
  const int dot = compiled.find_last('.');
  const base::tString<base::BaseString> stem = dot >= 0 ? compiled.left(dot) : compiled;
  base::tString<base::BaseString> name;
  name.print("%s_%i.dat", stem.c_str(), level);
  return name;
}

void cl_ActorDesc::ClearLoaded() {
  loaded = 0;
  m_reportedMisses.clear();  // a reload (a new import) may bring the clip
  delete skeleton;
  skeleton = nullptr;
  delete model;
  model = nullptr;
}

void cl_ActorDesc::Release() {
  // The caches may point into a record released in the same pass; they are found again.
  parentSkeleton = nullptr;
  parentDesc = nullptr;
  if (IsResident(label)) return;
  ClearLoaded();
}

// ---- the parent chain

cl_ActorDesc* cl_ActorDesc::GetParent() {
  if (parentDesc) return parentDesc;
  if (parent.empty() || !m_registry) return nullptr;
  parentDesc = m_registry->FindActor(parent.c_str());
  return parentDesc;
}

template <class F>
void cl_ActorDesc::ForEachInChain(F&& fn) {
  cl_ActorDesc* record = this;
  for (int step = 0; record; ++step) {
    if (step > kMaxParentSteps) {
      base::sys::Output("ERROR: actor parent cycle at %s\n", record->label.c_str());
      return;
    }
    if (fn(record)) return;
    record = record->GetParent();
  }
}

base::cl_Skeleton* cl_ActorDesc::GetOwnSkeleton() {
  if (skeleton) return skeleton;
  if (skeletonElement.is_nil()) return nullptr;
  ImportSkeleton();
  return skeleton;
}

base::cl_Skeleton* cl_ActorDesc::GetSkeleton() {
  if (base::cl_Skeleton* own = GetOwnSkeleton()) return own;
  return GetParentSkeleton();
}

base::cl_Skeleton* cl_ActorDesc::GetParentSkeleton() {
  if (parentSkeleton) return parentSkeleton;
  cl_ActorDesc* up = GetParent();
  if (!up || up == this) return nullptr;
  cl_ActorDesc* owner = nullptr;
  // The walk starts at the parent, so that a cycle back to this record is still caught.
  up->ForEachInChain([&](cl_ActorDesc* record) {
    if (record == this || !record->GetOwnSkeleton()) return false;
    owner = record;
    return true;
  });
  parentSkeleton = owner ? owner->skeleton : nullptr;
  return parentSkeleton;
}

base::cl_Animation* cl_ActorDesc::FindAnimation(const char* name) {
  const base::tString<base::BaseString> wanted(name);
  base::cl_Animation* found = nullptr;
  ForEachInChain([&](cl_ActorDesc* record) {
    if (base::cl_Skeleton* s = record->GetOwnSkeleton()) found = s->GetAnimation(wanted);
    return found != nullptr;
  });
  return found;
}

base::cl_Animation* cl_ActorDesc::GetAnimation(const char* name) {
  const base::tString<base::BaseString> wanted(name);
  base::cl_Animation* found = FindAnimation(name);
  if (found || wanted == "idle") return found;
  if (m_reportedMisses.insert(wanted.c_str()).second)
    base::sys::Output("Actor %s: anim %s not found, using idle.\n", label.c_str(), wanted.c_str());
  return GetAnimation("idle");
}

base::cl_SkeletonSubset* cl_ActorDesc::FindSubset(const char* name) {
  const base::tString<base::BaseString> wanted(name);
  base::cl_SkeletonSubset* found = nullptr;
  ForEachInChain([&](cl_ActorDesc* record) {
    if (base::cl_Skeleton* s = record->GetOwnSkeleton()) found = s->GetSubset(wanted);
    return found != nullptr;
  });
  return found;
}

// ---- drawing

base::Matrix4 cl_ActorDesc::DefaultOrientation() {
  base::Quaternion q;
  q.set_yaw_pitch_roll(std::numbers::pi_v<float>, 0.0f, 0.0f);
  return q.get_matrix();
}

void cl_ActorDesc::RenderModel(const base::Matrix4& world, base::cl_Camera* camera) {
  if (!mesh && !model) ImportMesh();
  if (!model) return;
  base::cl_Skeleton* s = GetSkeleton();
  gfx::DrawModelPart(model, s, DefaultOrientation() * world, camera);
}

}  // namespace quillane
