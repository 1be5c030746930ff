// Editing the actor list: the material script import, the removal of a character, the write.
#include "quillane/editor/CharacterList.h"

#include <string>
#include <string_view>
#include <vector>

#include "base/ErrorCatcher.h"
#include "base/FileTools.h"
#include "base/data/Binary.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "platform/os/FileSystem.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/CharacterViewer.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/session/Session.h"

namespace quillane {

namespace {

using tText = base::tString<base::BaseString>;

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n'; }

// The first two tokens of a line.
void FirstTokens(std::string_view line, std::string_view& first, std::string_view& second) {
  std::string_view* out[] = {&first, &second};
  first = second = {};
  size_t i = 0;
  for (std::string_view* token : out) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsSeparator(line[i])) ++i;
    *token = line.substr(start, i - start);
  }
}

tText TextureLabel(size_t index) {
  tText label;
  label.print("texture%zu", index);
  return label;
}

// A character's compiled files are read in place of its sources while they exist: once its
// element changed or went, they would bring the old figure back, at the next start too.
void ForgetCompiled(const cl_ActorDesc& actor) {
  const tText compiled = actor.GetCompiledFileName();
  platform::os::DeleteFile(compiled.c_str());
  for (int level = 0; level < cl_ActorDesc::kLevels; ++level)
    platform::os::DeleteFile(cl_ActorDesc::GetLevelFileName(compiled, level).c_str());
}

struct st_ScriptMaterial {
  tText name;
  tText texture;
  bool blended = false;
};

}  // namespace

bool WriteCharacterList(const base::Variant& tree) {
  base::SetFileWriteProtection(kCharacterListFile, false);
  return base::xml::write_file(tree, kCharacterListFile);  // the writer logs a failure
}

bool RemoveFromCharacterList(cl_ActorRegistry& registry, const char* label) {
  base::Variant list;
  if (!base::xml::read_file(list, kCharacterListFile)) return false;
  base::variant_remove_elements_by_attribute_value(list, "label", label);
  if (!WriteCharacterList(list)) return false;
  registry.LoadActorList(kCharacterListFile);
  return true;
}

void ImportMaterialScriptText(base::Variant& character, const char* text, int size, const tText& folder) {
  base::Variant* mesh = character.get_element("Mesh");
  std::vector<tText> textures;  // distinct names, in order of first use
  auto emit = [&](const st_ScriptMaterial& m) {
    size_t index = 0;
    while (index < textures.size() && textures[index] != m.texture) ++index;
    if (index == textures.size()) textures.push_back(m.texture);
    if (!mesh) return;
    base::Variant& material = mesh->add_element("Material");
    material.attribute("label")->set_string(m.name.c_str());
    material.attribute("shader")->set_string("lambert");
    if (m.blended) material.attribute("alpha")->set_int(1);
    material.attribute("texture")->set_string(TextureLabel(index).c_str());
  };

  st_ScriptMaterial current;
  bool collecting = false;
  const std::string_view all(text ? text : "", text && size > 0 ? static_cast<size_t>(size) : 0);
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view first, second;
    FirstTokens(all.substr(start, end - start), first, second);
    start = end + 1;
    if (first == "material") {
      if (collecting) emit(current);
      current = {tText(std::string(second).c_str()), tText(), false};
      collecting = true;
    } else if (first == "scene_blend") {
      current.blended = true;
    } else if (first == "texture") {
      current.texture = std::string(second).c_str();
    }
  }
  if (collecting) emit(current);
  for (size_t i = 0; i < textures.size(); ++i) {
    base::Variant& texture = character.add_element("Texture");
    texture.attribute("label")->set_string(TextureLabel(i).c_str());
    texture.attribute("file")->set_string((folder + "/" + textures[i].c_str()).c_str());
  }
}

void cl_CharacterViewer::ImportMaterialScript(base::Variant& character, base::tString<base::BaseString> path,
                                              base::tString<base::BaseString> folder) {
  if (base::Variant* mesh = character.get_element("Mesh")) base::variant_remove_elements(*mesh, "Material");
  base::variant_remove_elements(character, "Texture");
  base::Binary script;
  if (!base::LoadFile(path.c_str(), script)) return;
  ImportMaterialScriptText(character, reinterpret_cast<const char*>(script.get_buffer()), script.size(), folder);
}

void cl_CharacterViewer::RemoveCharacter(base::tString<base::BaseString> label) {
  cl_ActorRegistry* registry = GetActorRegistry();
  if (!registry) return;
  base::cl_ErrorCatcher errors;
  if (!RemoveFromCharacterList(*registry, label.c_str())) {
    ShowFailure(errors, (std::string(kCharacterListFile) + ": " + label.c_str() + " could not be deleted").c_str());
    return;
  }
  std::string outcome = std::string("Deleted ") + label.c_str() + " from " + kCharacterListFile;

  cl_ActorDesc* next = nullptr;
  for (const auto& [name, desc] : registry->GetActors())
    if (name != label) {
      next = desc;
      break;
    }
  // Loaded, or the view would stay empty under the new actor's name.
  MakeCurrent(next ? registry->FindActor(next->GetLabel().c_str()) : nullptr);
  if (const cl_ActorDesc* old = registry->Find(label.c_str())) {
    ForgetCompiled(*old);
    if (GetSession()) {
      // The waiting stage may hold the record: it stays loaded until the game ends.
      base::sys::Output("Warning: actor %s stays loaded while a game runs\n", label.c_str());
      outcome += "; it stays loaded while a game runs";
    } else {
      registry->Erase(label.c_str());
    }
  }
  ShowEditorStatus(outcome, false);
}

void cl_CharacterViewer::ShowSavedCharacter(const base::tString<base::BaseString>& label) {
  cl_ActorRegistry* registry = GetActorRegistry();
  if (!registry) return;
  // A known record keeps the files of its old element; reading the list again would keep it. It
  // is made anew unless a waiting game or a child record (which may share its clips) holds it.
  const bool shown = GetCurrentLabel() == label;
  if (cl_ActorDesc* old = registry->Find(label.c_str())) {
    ForgetCompiled(*old);
    bool parent = false;
    for (const auto& [name, desc] : registry->GetActors())
      parent = parent || desc->parent == label || desc->parentDesc == old;
    if (GetSession() || parent) {
      base::sys::Output("Warning: actor %s keeps its old files until the program starts again\n", label.c_str());
    } else {
      if (animCtrl.m_actor == old) MakeCurrent(nullptr);
      registry->Erase(label.c_str());
    }
  }
  if (!registry->LoadActorList(kCharacterListFile)) return;  // the reader logged why
  if (shown) MakeCurrent(registry->FindActor(label.c_str()));
}

void cl_CharacterViewer::MakeCurrent(cl_ActorDesc* actor) {
  animCtrl.m_fadeOuts.clear();
  animCtrl.m_clip = nullptr;
  animCtrl.SetActor(actor, {0, 0, 0});
  animCtrl.PlayIdle(false);
}

}  // namespace quillane
