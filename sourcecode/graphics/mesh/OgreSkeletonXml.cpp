// The Ogre XML skeleton importer: bones by id with their relative binding, the hierarchy by bone
// names, and keyed clips whose tracks are matched to bones by position (the file must list one
// track per bone, in bone order, all with the same key times). An incomplete file, or one with a
// number that is not finite, fails the import; a clip that cannot be sampled against the bones
// is dropped.
#include <cstdarg>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/resource/Resource.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/mesh/OgreXmlNumbers.h"
#include "graphics/mesh/Skeleton.h"

namespace base {

namespace {

// The names read for every bone and keyframe, interned once per file (interned names may be reset between
// fuzz inputs, so they are not kept across calls).
struct st_KeyNames {
  const unsigned char* time = vocable::find_or_add("time");
  const unsigned char* translate = vocable::find_or_add("translate");
  const unsigned char* rotate = vocable::find_or_add("rotate");
  const unsigned char* scale = vocable::find_or_add("scale");
  const unsigned char* angle = vocable::find_or_add("angle");
  const unsigned char* axis = vocable::find_or_add("axis");
  const unsigned char* x = vocable::find_or_add("x");
  const unsigned char* y = vocable::find_or_add("y");
  const unsigned char* z = vocable::find_or_add("z");
  const unsigned char* length = vocable::find_or_add("length");
};

class cl_OgreSkeletonReader {
 public:
  cl_OgreSkeletonReader(const char* file, cl_Skeleton* skeleton) : m_file(file), m_skeleton(skeleton) {}

  bool Run(const StaticVariantIterator& root) {
    const StaticVariantIterator bones = root.get_element("bones");
    if (!bones) return Fail("no \"bones\" element");
    if (!ReadBones(bones)) return false;
    const StaticVariantIterator hierarchy = root.get_element("bonehierarchy");
    if (!hierarchy) return Fail("no \"bonehierarchy\" element");
    if (!ReadHierarchy(hierarchy)) return false;
    const StaticVariantIterator animations = root.get_element("animations");
    for (int i = 0; i < animations.get_element_cnt(); ++i) {
      if (!ReadAnimation(animations.get_element(i))) return false;
    }
    m_skeleton->CalcBindingPose();
    return true;
  }

 private:
  bool Fail(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, fmt);
    tString<BaseString> text;
    text.vprint(fmt, args);
    va_end(args);
    sys::Output("ERROR: %s: %s\n", m_file, text.c_str());
    return false;
  }

  // Reads name of e into out when it is there; a number that is not finite is not taken and
  // notes the element (the first one met) for the caller's refusal.
  bool Float(const StaticVariantIterator& e, const unsigned char* name, float& out) {
    const en_OgreFloat read = ReadOgreFloat(e, name, out);
    if (read == OGRE_FLOAT_NOT_FINITE && !m_notFinite) m_notFinite = e.get_label();
    return read == OGRE_FLOAT_READ;
  }
  tVector3<float> XYZ(const StaticVariantIterator& e, const tVector3<float>& fallback) {
    tVector3<float> v = fallback;
    Float(e, m_names.x, v.x);
    Float(e, m_names.y, v.y);
    Float(e, m_names.z, v.z);
    return v;
  }
  bool NotFinite(const char* where) {
    return Fail("%s: \"%s\" holds a number that is not finite", where,
                reinterpret_cast<const char*>(m_notFinite));
  }
  bool HasXYZ(const StaticVariantIterator& e) const {
    return !e.get_attribute(m_names.x).is_nil() && !e.get_attribute(m_names.y).is_nil() &&
           !e.get_attribute(m_names.z).is_nil();
  }

  bool ReadBones(const StaticVariantIterator& bones) {
    int count = 0;
    for (int i = 0; i < bones.get_element_cnt(); ++i) {
      int id = 0;
      if (!bones.get_element(i).get_attribute_int("id", id)) continue;
      if (id < 0 || id >= cl_Skeleton::kMaxBones)
        return Fail("bone id %d outside 0 … %d", id, cl_Skeleton::kMaxBones - 1);
      if (id + 1 > count) count = id + 1;
    }
    m_skeleton->Create(count);
    for (int i = 0; i < bones.get_element_cnt(); ++i) {
      const StaticVariantIterator e = bones.get_element(i);
      int id = 0;
      if (!e.get_attribute_int("id", id)) continue;
      const StaticVariantIterator position = e.get_element("position");
      const StaticVariantIterator rotation = e.get_element("rotation");
      const StaticVariantIterator axis = rotation.get_element("axis");
      if (!position || !rotation || !axis) return Fail("bone %d lacks its position, rotation or rotation axis", id);
      cl_Bone& bone = (*m_skeleton)[id];
      GetAttributeText(e, "name", bone.name);
      bone.position = XYZ(position, tVector3<float>());
      float angle = 0.0f;  // a rotation without an angle is none
      Float(rotation, m_names.angle, angle);
      bone.rotation.rotation(XYZ(axis, tVector3<float>()), angle);
      if (m_notFinite) return NotFinite(("bone " + std::to_string(id)).c_str());
    }
    return true;
  }

  bool ReadHierarchy(const StaticVariantIterator& hierarchy) {
    for (int i = 0; i < hierarchy.get_element_cnt(); ++i) {
      const StaticVariantIterator e = hierarchy.get_element(i);
      tString<BaseString> child, parent;
      if (!GetAttributeText(e, "bone", child) || !GetAttributeText(e, "parent", parent)) continue;
      const int c = m_skeleton->GetBoneIndex(child.c_str());
      const int p = m_skeleton->GetBoneIndex(parent.c_str());
      if (c < 0) return Fail("hierarchy entry %d names the unknown bone '%s'", i, child.c_str());
      if (p < 0) return Fail("hierarchy entry %d names the unknown parent '%s'", i, parent.c_str());
      cl_Bone& bone = (*m_skeleton)[c];
      if (bone.parent != -1) return Fail("bone '%s' is given a second parent", child.c_str());
      bone.parent = p;
      (*m_skeleton)[p].children.push_back(c);
    }
    const tString<BaseString> why = m_skeleton->CheckHierarchy();
    if (!why.empty()) return Fail("%s", why.c_str());
    return true;
  }

  // One keyframe; false when its required parts are missing.
  bool ReadKey(const StaticVariantIterator& e, cl_AnimationTrack::st_Key& key) {
    Float(e, m_names.time, key.time);
    const StaticVariantIterator translate = e.get_element(m_names.translate);
    const StaticVariantIterator rotate = e.get_element(m_names.rotate);
    if (!translate || !rotate) return false;
    // A part given incompletely keeps the neutral value.
    if (HasXYZ(translate)) key.translation = XYZ(translate, tVector3<float>());
    float angle = 0.0f;
    if (Float(rotate, m_names.angle, angle)) {
      const StaticVariantIterator axis = rotate.get_element(m_names.axis);
      if (!axis) return false;
      if (HasXYZ(axis)) key.rotation.set_axis_angle(XYZ(axis, tVector3<float>()), angle);
    }
    const StaticVariantIterator scale = e.get_element(m_names.scale);
    if (scale && HasXYZ(scale)) key.scale = XYZ(scale, tVector3<float>());
    return true;
  }

  bool ReadAnimation(const StaticVariantIterator& e) {
    tString<BaseString> name;
    float length = 0.0f;
    if (!GetAttributeText(e, "name", name) || !Float(e, m_names.length, length)) {
      return m_notFinite ? NotFinite(("animation '" + std::string(name.c_str()) + "'").c_str()) : true;
    }
    const StaticVariantIterator tracks = e.get_element("tracks");
    if (!tracks) return Fail("animation '%s' has no \"tracks\" element", name.c_str());
    cl_Animation* clip = new cl_Animation;
    clip->name = name;
    clip->length = length;
    for (int t = 0; t < tracks.get_element_cnt(); ++t) {
      const StaticVariantIterator track = tracks.get_element(t);
      const StaticVariantIterator keyframes = track.get_element("keyframes");
      if (!keyframes) {
        delete clip;
        return Fail("animation '%s' track %d has no \"keyframes\" element", name.c_str(), t);
      }
      cl_AnimationTrack* keys = new cl_AnimationTrack;
      clip->tracks.push_back(keys);
      GetAttributeText(track, "bone", keys->name);
      keys->keys.resize(static_cast<size_t>(keyframes.get_element_cnt()));
      for (int k = 0; k < keyframes.get_element_cnt(); ++k) {
        if (!ReadKey(keyframes.get_element(k), keys->keys[static_cast<size_t>(k)])) {
          delete clip;
          return Fail("animation '%s' track %d key %d lacks its translate, rotate or rotation axis", name.c_str(), t,
                      k);
        }
        if (m_notFinite) {
          delete clip;
          return NotFinite(("animation '" + std::string(name.c_str()) + "' track " + std::to_string(t) + " key " +
                            std::to_string(k))
                               .c_str());
        }
      }
    }
    // Sampling reads one track per bone, all keyed alike: anything else is dropped here.
    tString<BaseString> why = clip->CheckTracks();
    if (clip->GetNumTracks() != m_skeleton->size())
      why.print("%d tracks for %d bones", clip->GetNumTracks(), m_skeleton->size());
    else if (why.empty() && clip->GetNumKeys() < 1)
      why = "no keys";
    if (!why.empty()) {
      Fail("animation '%s' dropped: %s", name.c_str(), why.c_str());
      delete clip;
      return true;
    }
    m_skeleton->AddAnimation(clip);  // a name already present keeps the first clip
    return true;
  }

  const char* m_file;
  cl_Skeleton* m_skeleton;
  const st_KeyNames m_names;
  const unsigned char* m_notFinite = nullptr;  // the element of the first number that is not finite
};

}  // namespace

bool SkeletonLoadOgreXML(const char* fileName, cl_Skeleton* skeleton) {
  if (!skeleton) return false;
  StaticVariant doc;
  if (!xml::read_file(doc, fileName)) return false;
  cl_OgreSkeletonReader reader(fileName, skeleton);
  return reader.Run(StaticVariantIterator(doc.get_words()));
}

}  // namespace base
