// The savegame's XML side file.
#include "quillane/savegame/SavegameXml.h"

#include "base/FileTools.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"

namespace quillane {

base::String SavegameSideFileName(const char* path) {
  base::String name(path ? path : "");
  base::ReplaceFileExtension(name, base::String("xml"));
  return name;
}

bool WriteSavegameXml(const char* path, const base::Variant& gameState) {
  return base::xml::write_file(gameState, SavegameSideFileName(path).c_str());
}

bool MergeSavegameXml(const char* path, base::Variant& gameState) {
  const base::String name = SavegameSideFileName(path);
  if (!base::FileExists(name)) return false;
  base::Variant side;
  if (!base::xml::read_file(side, name.c_str()) || !side.is_element()) return false;
  base::variant_merge_variant(gameState, side);
  return true;
}

}  // namespace quillane
