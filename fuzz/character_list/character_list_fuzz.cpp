// Arbitrary bytes as "characters/characters.xml", taken through the character viewer's list
// operations in a scratch folder: the registry reads it, the set-up dialog loads a listed and an
// unlisted character and saves one, and a character is removed (the list written back and read
// again). Nothing is imported. Malformed lists must fail with a line, never crash.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "base/data/StaticVariant.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/CharacterList.h"
#include "quillane/editor/CharacterViewer.h"
#include "quillane/editor/SetupCharacterDialog.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  fuzzsupport::st_InScratchFolder scratch("character_list");
  if (!scratch.ok) return 0;
  std::filesystem::create_directories("characters");
  std::ofstream(quillane::kCharacterListFile, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  quillane::cl_ActorRegistry registry;
  if (!registry.LoadActorList(quillane::kCharacterListFile)) return 0;
  base::tString<base::BaseString> first;
  const base::StaticVariant& list = registry.GetList();
  if (list.get_element_cnt() > 0) list.get_element(0).get_attribute_string("label", first);

  for (const char* name : {first.c_str(), "fuzz_new"}) {
    quillane::cl_SetupCharacterDialog dialog(nullptr);
    dialog.m_name = name;
    dialog.LoadCharacter();
    dialog.SaveCharacter();
  }
  quillane::RemoveFromCharacterList(registry, first.c_str());
  quillane::RemoveFromCharacterList(registry, "fuzz_new");
  return 0;
}
