// The mesh as a resource: import through the file-format registry, material descriptions of the
// regions, the pool lookup and the type's registration.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "base/resource/MultiFileFormatLoader.h"
#include "base/resource/ResourceMgr.h"
#include "base/system.h"
#include "base/text/Vocable.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/mesh/lwo/LwoImport.h"

namespace base {

namespace {
// An attribute holding an integer: an int, a float without fraction (the XML reader stores
// numeric attributes as floats), or a text that is one whole integer.
bool IntegerAttribute(const StaticVariantIterator& value, int& out) {
  if (value.is_int()) {
    out = value.get_int();
    return true;
  }
  if (value.is_float()) {
    const float f = value.get_float();
    if (!(f >= -2147483648.0f && f < 2147483648.0f) || f != std::trunc(f)) return false;
    out = static_cast<int>(f);
    return true;
  }
  if (!value.is_string()) return false;
  const char* text = value.get_string();
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text, &end, 10);
  if (end == text || *end != 0 || errno != 0 || n < INT_MIN || n > INT_MAX) return false;
  out = static_cast<int>(n);
  return true;
}
}  // namespace

bool cl_Mesh::Init(StaticVariantIterator element) {
  tString<BaseString> fileName;
  GetAttributeText(element, "file", fileName);
  if (!tMultiFileFormatLoader<cl_Mesh>::LoadFileMultiFormat(fileName.c_str(), this)) {
    tString<BaseString> name;
    if (!GetAttributeText(element, "label", name)) name = "<unlabeled>";
    sys::Output("ERROR: could not open file %s for mesh or unknown file format'%s'\n", fileName.c_str(),
                name.c_str());
    return false;
  }
  InitMaterials(element);
  return true;
}

bool cl_Mesh::InitMaterials(StaticVariantIterator element) {
  static const unsigned char* const kMaterial = vocable::find_or_add("Material");
  static const unsigned char* const kIndex = vocable::find_or_add("index");
  int n = 0;
  for (int c = 0; c < element.get_element_cnt(); ++c) {
    const StaticVariantIterator child = element.get_element(c);
    if (!child.is_element() || child.get_label() != kMaterial) continue;
    tString<BaseString> name;
    if (child.get_attribute_string("label", name)) {
      if (const st_Region* r = FindRegion(name.c_str())) n = r->index;
    }
    IntegerAttribute(child.get_attribute(kIndex), n);
    if (n >= 0 && n < regions.size()) {
      child.copy_to(regions[n]->material);
    } else {
      sys::Output("ERROR: invalid surfaceindex %d\n", n);
    }
    ++n;
  }
  return true;
}

void cl_Mesh::ListMaterials(Variant& out) const {
  for (const st_Region* r : regions) {
    Variant m(r->material);
    if (!m.is_element()) m.set_element("Material");
    m.attribute("label")->set_string(r->label.c_str());
    out.push_back(m);
  }
}

namespace {
using MeshType = tResourceType<cl_Mesh>;
i_ResourceType* CreateMeshType() { return new MeshType(true); }
}  // namespace

cl_Mesh* GetMesh(const char* name) { return MeshType::Get(name); }

void RegisterMeshResourceType() {
  RegisterSkeletonResourceType();  // "Skeleton" and the Ogre XML importers of both kinds
  static bool registered = false;
  if (registered) return;
  registered = true;
  AddDefaultResourceType("Mesh", CreateMeshType);
  tMultiFileFormatLoader<cl_Mesh>::AddFileFormat("lwo", MeshLoadLWO);
}

}  // namespace base
