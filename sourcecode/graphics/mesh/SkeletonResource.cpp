// The skeleton as a resource: import through the file-format registry, the set-up children of its
// element (root motion, animation sets, renames, subsets), compression of every clip, the
// protocol file beside the source, the pool lookup and the type's registration.
#include "base/data/Xml.h"
#include "base/FileTools.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/resource/ResourceMgr.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"

namespace base {

namespace {

void ListClips(const cl_Skeleton& s, tString<BaseString>& protocol) {
  for (const auto& a : s.animations) protocol.print("  '%s' (%.02fs)\n", a.first.c_str(), a.second->length);
}

bool IsElement(const StaticVariantIterator& e, const char* label) {
  return e.is_element() && e.get_label() == vocable::find(label);
}

}  // namespace

bool cl_Skeleton::Init(StaticVariantIterator element) {
  tString<BaseString> fileName;
  GetAttributeText(element, "file", fileName);
  const tString<BaseString> protocolPath = StripExtension(fileName) + "_protocol.txt";
  tString<BaseString> protocol;

  if (!tMultiFileFormatLoader<cl_Skeleton>::LoadFileMultiFormat(fileName.c_str(), this)) {
    tString<BaseString> label;
    if (!GetAttributeText(element, "label", label)) label = "<unknown label>";
    sys::Output("ERROR: could not open file %s for mesh or unknown file format'%s'\n", fileName.c_str(), label.c_str());
    return false;
  }
  protocol.print("#basic animations:\n");
  ListClips(*this, protocol);

  for (int i = 0; i < element.get_element_cnt(); ++i) {
    const StaticVariantIterator child = element.get_element(i);
    tString<BaseString> a, b;
    if (IsElement(child, "UseReposition") && GetAttributeText(child, "label", a)) {
      if (cl_Animation* clip = GetAnimation(a)) {
        clip->ExtractRepositioning();
        protocol.print("#repositioning: '%s'\n", clip->name.c_str());
      } else {
        protocol.print("!!!repositioning failed: %s unknown\n", a.c_str());
      }
    } else if (IsElement(child, "AnimationSet") && GetAttributeText(child, "file", a)) {
      cl_Skeleton set;
      tMultiFileFormatLoader<cl_Skeleton>::LoadFileMultiFormat(a.c_str(), &set);
      protocol.print("#anim set '%s':\n", a.c_str());
      ListClips(set, protocol);
      for (auto& entry : set.animations) {
        cl_Animation* clip = entry.second;
        // Tracks drive bones by number: a set made for another skeleton cannot be sampled here.
        if (clip->GetNumTracks() != size()) {
          protocol.print("!!!anim set '%s': '%s' has %d tracks for %d bones, dropped\n", a.c_str(),
                         clip->name.c_str(), clip->GetNumTracks(), size());
          delete clip;
        } else {
          AddAnimation(clip);  // a name already present keeps this skeleton's clip
        }
      }
      set.animations.clear();
    } else if (IsElement(child, "Rename") && GetAttributeText(child, "from", a) && GetAttributeText(child, "to", b)) {
      cl_Animation* clip = GetAnimation(a);
      if (!clip) {
        protocol.print("  ERROR: could not rename from %s to %s\n", a.c_str(), b.c_str());
      } else if (a != b && GetAnimation(b)) {
        // Renaming onto a taken name would drop the clip from the map.
        protocol.print("  ERROR: could not rename from %s to %s: the name is taken\n", a.c_str(), b.c_str());
      } else {
        protocol.print("#rename from '%s' to '%s':\n", clip->name.c_str(), b.c_str());
        animations.erase(a);
        clip->name = b;
        AddAnimation(clip);
      }
    } else if (IsElement(child, "Subsets") && GetAttributeText(child, "file", a)) {
      ImportSubsets(a, protocol);
    }
  }

  for (auto& a : animations) a.second->Compress();
  const tString<BaseString> text = protocol.replace("\n", "\r\n");
  SaveFile(protocolPath.c_str(), reinterpret_cast<const unsigned char*>(text.c_str()), text.size());
  return true;
}

void cl_Skeleton::ImportSubsets(const tString<BaseString>& fileName, tString<BaseString>& protocol) {
  StaticVariant file;
  if (!xml::read_file(file, fileName.c_str())) {
    protocol.print("ERROR: could not open subset file %s\n", fileName.c_str());
    return;
  }
  const StaticVariantIterator root(file.get_words());
  for (int i = 0; i < root.get_element_cnt(); ++i) {
    const StaticVariantIterator set = root.get_element(i);
    tString<BaseString> label;
    if (!IsElement(set, "Subset") || !set.get_attribute_string("label", label)) continue;
    cl_SkeletonSubset* subset = new cl_SkeletonSubset;
    for (int k = 0; k < set.get_element_cnt(); ++k) {
      const StaticVariantIterator bone = set.get_element(k);
      tString<BaseString> boneName;
      float weight = 0.0f;
      if (!IsElement(bone, "Bone") || !bone.get_attribute_string("label", boneName) ||
          !bone.get_attribute_float("weight", weight))
        continue;
      const int n = GetBoneIndex(boneName.c_str());
      if (n == -1) {
        protocol.print("ERROR: unknown bone %s in subset %s\n", boneName.c_str(), label.c_str());
        sys::Output("ERROR: unknown bone %s in subset %s\n", boneName.c_str(), label.c_str());
      } else {
        sys::Output("subset %s, bone %s, w %.02f\n", label.c_str(), boneName.c_str(), weight);
        subset->Set(n, weight);
      }
    }
    AddSubset(label, subset);  // a label already present keeps its subset
    protocol.print("adding subset %s.\n", label.c_str());
  }
}

namespace {
using SkeletonType = tResourceType<cl_Skeleton>;
i_ResourceType* CreateSkeletonType() { return new SkeletonType(true); }
}  // namespace

cl_Skeleton* GetSkeleton(const char* label) { return SkeletonType::Get(label); }

void RegisterSkeletonResourceType() {
  tMultiFileFormatLoader<cl_Mesh>::AddFileFormat("xml", MeshLoadOgreXML);
  tMultiFileFormatLoader<cl_Skeleton>::AddFileFormat("xml", SkeletonLoadOgreXML);
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddDefaultResourceType("Skeleton", CreateSkeletonType);
}

}  // namespace base
