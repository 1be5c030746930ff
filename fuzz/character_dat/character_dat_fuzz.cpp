// Reads arbitrary bytes as a compiled character file, then uses whatever loaded the way the game
// does (clips and subsets up the chain, poses, the model's textures), so that a file the reader
// lets through can never make them read out of bounds.
#include <cstddef>
#include <cstdint>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/File.h"
#include "graphics/mesh/Pose.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "quillane/actor/ActorDesc.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 512 * 1024)) return 0;
  static base::StaticVariant* element = [] {
    auto* e = new base::StaticVariant;
    base::xml::read_text(*e, "<Character label=\"male\"/>", "fuzz");
    return e;
  }();
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "Characters/male.dat")) return 0;
  quillane::cl_ActorDesc actor(nullptr, *element);
  if (!actor.Read(&f)) return 0;

  base::cl_Skeleton* skeleton = actor.GetSkeleton();
  for (const char* name : {"walk", "idle", "turnaround_cw", "no such clip"}) {
    base::cl_Animation* clip = actor.GetAnimation(name);
    if (!clip || !skeleton) continue;
    base::cl_Pose pose(skeleton->size());
    for (float t : {0.0f, 0.5f, clip->length, 1e9f}) pose.Set(clip, t);
    skeleton->SetPose(&pose);
  }
  actor.FindSubset("looking");
  if (actor.model) {
    auto& textures = actor.model->GetTextures();
    for (int i = 0; i < textures.Count(); ++i) textures.Get(i)->GetFileData();
    textures.Find("texture0");
  }
  return 0;
}
