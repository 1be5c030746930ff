// cl_ActorDesc::Load: the compiled file when it exists and is sound, otherwise the import from the
// sources named in the actor list (mesh, skeleton, textures at three levels of detail) followed
// by writing the compiled file, so that later runs skip the slow texture compression.
#include <algorithm>
#include <cmath>

#include "base/data/Binary.h"
#include "base/File.h"
#include "base/file/SafeFile.h"
#include "base/FileTools.h"
#include "base/Imaging.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "graphics/TextureCompression.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/settings/OptionLevels.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

// Target sizes beyond any texture the device takes are pulled in, so that a stray "size" in the
// actor list cannot ask the compressor for an absurd image.
constexpr float kMaxTextureSide = 8192.0f;

float ClampSide(float side) { return side >= 1.0f ? std::min(side, kMaxTextureSide) : 1.0f; }  // NaN: 1

}  // namespace

void cl_ActorDesc::Load() {
  if (loaded) return;
  const base::tString<base::BaseString> compiled = GetCompiledFileName();
  if (base::FileExists(compiled)) {
    base::File file;
    if (file.open(compiled.c_str(), base::File::STATUS_READ)) {
      const bool sound = Read(&file);
      file.close();
      if (sound) {
        loaded = 1;
        return;
      }
    }
    // A damaged file was reported by Read; the sources replace it below.
  }
  ImportFromSources();
  loaded = 1;
}

void cl_ActorDesc::ImportFromSources() {
  static const unsigned char* const kMesh = base::vocable::find_or_add("Mesh");
  static const unsigned char* const kSkeleton = base::vocable::find_or_add("Skeleton");
  static const unsigned char* const kTexture = base::vocable::find_or_add("Texture");

  tTextureSet sets[kLevels];
  base::sys::Output("Initializing character %s.\n", label.c_str());
  parent.clear();
  element.get_attribute_string("parent", parent);
  bool anyTexture = false;
  for (int c = 0; c < element.get_element_cnt(); ++c) {
    const base::StaticVariantIterator child = element.get_element(c);
    const unsigned char* tag = child.get_label();
    base::tString<base::BaseString> file;
    if (tag == kMesh && child.get_attribute_string("file", file)) {
      meshFile = file;
      meshElement = child;
    } else if (tag == kSkeleton && child.get_attribute_string("file", file)) {
      skeletonFile = file;
      skeletonElement = child;
    } else if (tag == kTexture) {
      base::tString<base::BaseString> textureLabel;
      if (!child.get_attribute_string("label", textureLabel)) {
        base::sys::Output("ERROR: Character %s has texture without label.\n", label.c_str());
        continue;
      }
      anyTexture = true;
      ImportTexture(child, sets);
    }
  }
  if (!meshElement.is_nil()) {
    base::sys::Output("importing mesh:\n");
    ImportMesh();
  }
  if (!skeletonElement.is_nil()) {
    base::sys::Output("importing skeleton:\n");
    ImportSkeleton();
  }
  WriteCompiled(sets, anyTexture);
  // The level in use goes to the model, which owns it from now on; the others are dropped.
  const int level = std::clamp(GetOptionIntValue("Gfx/CharacterLOD/"), 0, kLevels - 1);
  if (model) model->GetTextures().Swap(sets[level]);
}

void cl_ActorDesc::ImportTexture(base::StaticVariantIterator child, tTextureSet sets[kLevels]) {
  base::tString<base::BaseString> textureLabel, file;
  child.get_attribute_string("label", textureLabel);
  child.get_attribute_string("file", file);
  base::sys::Output("  adding actor-texture %s. ", textureLabel.c_str());
  base::sys::Output("\n");
  float size = -1.0f;
  child.get_attribute_float("size", size);
  // The image is read once; every level is compressed from it.
  base::cl_Bitmap32 image;
  if (!base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(file.c_str(), &image) ||
      image.IsEmpty()) {
    base::sys::Output("ERROR: Could not read from texture file %s.\n", file.c_str());
    return;
  }
  for (int level = 0; level < kLevels; ++level) {
    float width = static_cast<float>(image.Width()), height = static_cast<float>(image.Height());
    if (size > 0.0f) {
      const float factor = std::max(width, height) / size;
      width /= factor;
      height /= factor;
    }
    const int alpha = image.GetOverallAlpha();
    const bool keepAlpha = alpha != 255 && alpha != 0;
    base::sys::Output("Alpha %s = %d\n", file.c_str(), alpha);
    if (!keepAlpha) base::sys::Output("alpha channel for %s has been disabled\n", file.c_str());
    base::Binary dds;
    if (!gfx::CompressToDDS(dds, &image, ClampSide(width), ClampSide(height), keepAlpha, true, true)) return;
    auto* texture = new gfx::cl_Texture;
    texture->SetFileData(dds);
    texture->LoadFromMemory();  // no device (tools, tests): the bytes stay for the compiled file
    sets[level].Add(textureLabel.c_str(), texture);
    if (size != -1.0f) size *= 0.5f;
  }
}

void cl_ActorDesc::ImportMesh() {
  if (meshElement.is_nil()) return;
  if (!mesh && !model) {
    mesh = new base::cl_Mesh;
    // A mesh that cannot be read stays, empty, so that drawing does not try again every frame.
    if (!mesh->Init(meshElement)) return;
  }
  // After a release the mesh of the first import is still there; only the model is made again.
  if (model || !mesh || mesh->faces.size() == 0) return;
  model = new gfx::cl_Model;
  if (!model->BuildIndexArrays(*mesh)) {
    delete model;
    model = nullptr;
  }
}

void cl_ActorDesc::ImportSkeleton() {
  if (skeletonElement.is_nil()) return;
  delete skeleton;
  skeleton = new base::cl_Skeleton;
  if (!skeleton->Init(skeletonElement)) {
    delete skeleton;
    skeleton = nullptr;
  }
}

// ---- writing

void cl_ActorDesc::WriteCompiled(tTextureSet sets[kLevels], bool anyTexture) {
  const base::tString<base::BaseString> compiled = GetCompiledFileName();
  const unsigned char separateFiles = LOD_SeparateFilesForCharacters ? 1 : 0;
  if (separateFiles && anyTexture) {
    for (int level = 0; level < kLevels; ++level) {
      const base::tString<base::BaseString> name = GetLevelFileName(compiled, level);
      base::RemoveStaleTempFiles(name.c_str());
      base::File side;
      if (!side.open(name.c_str(), base::File::STATUS_WRITE)) {
        base::sys::Output("ERROR: Textureset %s failed%s\n", name.c_str(), side.write_error_note().c_str());
        continue;
      }
      base::sys::Output("Writing Texturset %s\n", name.c_str());
      sets[level].Write(&side);
      side.close();  // a failed write keeps the old file and is logged by close
    }
  }
  // A compile killed earlier left its temporary file; this one is the only writer now.
  base::RemoveStaleTempFiles(compiled.c_str());
  base::File file;
  if (!file.open(compiled.c_str(), base::File::STATUS_WRITE)) {
    base::sys::Output("ERROR: Write failed! The compiled character '%s' cannot be created%s\n", compiled.c_str(),
                      file.write_error_note().c_str());
    return;
  }
  base::sys::Output("Writing.\n");
  WriteHeader(&file);
  file.write(&separateFiles, 1);
  if (!separateFiles) {
    // The table is written twice: zeros first, the real offsets once the sets are placed.
    const int table = file.get_current_position();
    int offsets[kLevels] = {};
    WriteIntList(&file, offsets, kLevels);
    for (int level = 0; level < kLevels; ++level) {
      offsets[level] = file.get_current_position();
      sets[level].Write(&file);
    }
    const int end = file.get_current_position();
    if (!file.set_current_position(table)) file.set_error();
    WriteIntList(&file, offsets, kLevels);
    if (!file.set_current_position(end)) file.set_error();
  }
  file.close();  // a failed write leaves no compiled file (logged by close)
}

}  // namespace quillane
