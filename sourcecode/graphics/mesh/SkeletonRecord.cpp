// The skeleton record: bones, clips in name order (compressed block or keyed tracks), subsets in
// name order; little-endian, no magic or version. Compiled character files embed it. The reader
// checks every count against the bytes left, the hierarchy for a forest and every clip for what
// sampling relies on, and leaves an empty skeleton on any fault.
#include "base/File.h"
#include "graphics/mesh/RecordReader.h"
#include "graphics/mesh/Skeleton.h"

namespace base {

namespace {

constexpr const char* kKind = "skeleton record";

// Smallest encodings, for the count checks: a bone without name and children, a keyed clip
// without tracks, a track without keys, a subset without bones.
constexpr int kMinBoneBytes = 4 + 4 + 4 + 12 + 64 + 12 + 64;
constexpr int kMinAnimationBytes = 4 + 4 + 12 + 1 + 4;
constexpr int kMinTrackBytes = 4 + 4;
constexpr int kMinSubsetBytes = 4 + 4;

template <class T>
void WriteList(File* f, const std::vector<T>& items) {
  f->write_int(static_cast<int>(items.size()));
  if (!items.empty()) f->write(items.data(), static_cast<int>(sizeof(T) * items.size()));
}

template <class T>
bool ReadList(cl_RecordReader& in, std::vector<T>& items, const char* what) {
  int n = 0;
  if (!in.Count(n, static_cast<int>(sizeof(T)), what)) return false;
  items.resize(static_cast<size_t>(n));
  return n == 0 || in.Bytes(items.data(), static_cast<int>(sizeof(T)) * n);
}

}  // namespace

// ---- parts

void cl_Bone::Write(File* file) const {
  name.Write(file);
  file->write_int(parent);
  WriteList(file, children);
  file->write(&position.x, 12);
  file->write(rotation.m, 64);
  file->write(&absPosition.x, 12);
  file->write(absRotation.m, 64);
}

bool cl_Bone::Read(File* file) {
  cl_RecordReader in(file, kKind);
  in.String(name);
  in.Int(parent);
  ReadList(in, children, "bone child list");
  in.Floats(&position.x, 3);
  in.Floats(rotation.m, 16);
  in.Floats(&absPosition.x, 3);
  in.Floats(absRotation.m, 16);
  return in.ok();
}

void cl_AnimationTrack::Write(File* file) const {
  name.Write(file);
  WriteList(file, keys);
}

bool cl_AnimationTrack::Read(File* file) {
  cl_RecordReader in(file, kKind);
  in.String(name);
  ReadList(in, keys, "animation key list");
  return in.ok();
}

void cl_SkeletonSubset::Write(File* file) const {
  file->write_int(size());
  if (!bones.empty()) {
    file->write(bones.data(), 4 * size());
    file->write(weights.data(), 4 * size());
  }
}

bool cl_SkeletonSubset::Read(File* file) {
  cl_RecordReader in(file, kKind);
  int n = 0;
  in.Count(n, 8, "subset bone list");
  bones.assign(static_cast<size_t>(n), 0);
  weights.assign(static_cast<size_t>(n), 0.0f);
  if (n > 0 && in.Bytes(bones.data(), 4 * n)) in.Floats(weights.data(), n);
  return in.ok();
}

void cl_Animation::Write(File* file) const {
  name.Write(file);
  file->write(&length, 4);
  file->write(&repositioning.x, 12);
  const unsigned char form = compressed ? 1 : 0;
  file->write(&form, 1);
  if (compressed) {
    file->write(&compressed->length, 4);
    WriteList(file, compressed->times);
    WriteList(file, compressed->flags);
    WriteList(file, compressed->offsets);
    WriteList(file, compressed->data);
  } else {
    file->write_int(static_cast<int>(tracks.size()));
    for (const cl_AnimationTrack* t : tracks) t->Write(file);
  }
}

bool cl_Animation::Read(File* file) {
  ClearData();
  cl_RecordReader in(file, kKind);
  in.String(name);
  in.Floats(&length, 1);
  in.Floats(&repositioning.x, 3);
  const int formAt = in.Offset();
  unsigned char form = 0;
  in.Bytes(&form, 1);
  if (in.ok() && form > 1) in.Fail("animation '%s' has form %d at offset %d (0 or 1)", name.c_str(), form, formAt);
  if (in.ok() && form == 1) {
    compressed = new st_Compressed;
    in.Floats(&compressed->length, 1);
    ReadList(in, compressed->times, "animation key times");
    ReadList(in, compressed->flags, "animation track flags");
    ReadList(in, compressed->offsets, "animation track offsets");
    ReadList(in, compressed->data, "animation data");
    if (in.ok()) {
      const tString<BaseString> why = compressed->Check();
      if (!why.empty()) in.Fail("animation '%s' ending at offset %d: %s", name.c_str(), in.Offset(), why.c_str());
    }
  } else if (in.ok()) {
    int n = 0;
    in.Count(n, kMinTrackBytes, "animation track list");
    tracks.reserve(static_cast<size_t>(n));
    for (int t = 0; in.ok() && t < n; ++t) {
      tracks.push_back(new cl_AnimationTrack);
      in.Accept(tracks.back()->Read(file));
    }
    if (in.ok()) {
      const tString<BaseString> why = CheckTracks();
      if (!why.empty()) in.Fail("animation '%s' ending at offset %d: %s", name.c_str(), in.Offset(), why.c_str());
    }
  }
  if (!in.ok()) ClearData();
  return in.ok();
}

// ---- skeleton

void cl_Skeleton::Write(File* file) {
  if (!file) return;
  file->write_int(size());
  for (const cl_Bone* b : bones) b->Write(file);
  file->write_int(static_cast<int>(animations.size()));
  for (const auto& a : animations) a.second->Write(file);
  file->write_int(static_cast<int>(subsets.size()));
  for (const auto& s : subsets) {
    s.first.Write(file);
    s.second->Write(file);
  }
}

void cl_Skeleton::Read(File* file) {
  for (cl_Bone* b : bones) delete b;
  bones.clear();
  if (!file) return;
  cl_RecordReader in(file, kKind);
  if (file->get_status() != File::STATUS_READ) {
    in.Fail("file not open for reading");
    Clear();
    return;
  }

  int boneCount = 0;
  in.Count(boneCount, kMinBoneBytes, "skeleton bone list");
  bones.reserve(static_cast<size_t>(boneCount));
  for (int i = 0; in.ok() && i < boneCount; ++i) {
    bones.push_back(new cl_Bone);
    in.Accept(bones.back()->Read(file));
  }
  if (in.ok()) {
    const tString<BaseString> why = CheckHierarchy();
    if (!why.empty()) in.Fail("bone list ending at offset %d: %s", in.Offset(), why.c_str());
  }

  // Clips and subsets are filed only once the whole record has proved sound.
  std::vector<cl_Animation*> clips;
  int clipCount = 0;
  in.Count(clipCount, kMinAnimationBytes, "skeleton animation list");
  for (int i = 0; in.ok() && i < clipCount; ++i) {
    clips.push_back(new cl_Animation);
    if (in.Accept(clips.back()->Read(file)) && clips.back()->GetNumTracks() != boneCount) {
      in.Fail("animation '%s' has %d tracks for %d bones (ends at offset %d)", clips.back()->name.c_str(),
              clips.back()->GetNumTracks(), boneCount, in.Offset());
    }
  }

  std::vector<std::pair<tString<BaseString>, cl_SkeletonSubset*>> sets;
  int setCount = 0;
  in.Count(setCount, kMinSubsetBytes, "skeleton subset list");
  for (int i = 0; in.ok() && i < setCount; ++i) {
    sets.emplace_back(tString<BaseString>(), new cl_SkeletonSubset);
    if (in.String(sets.back().first)) in.Accept(sets.back().second->Read(file));
  }

  if (!in.ok()) {
    for (cl_Animation* a : clips) delete a;
    for (auto& s : sets) delete s.second;
    Clear();
    return;
  }
  // A name already present keeps its entry; the newcomer is deleted.
  for (cl_Animation* a : clips) AddAnimation(a);
  for (auto& s : sets) AddSubset(s.first, s.second);
}

}  // namespace base
