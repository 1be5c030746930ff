// Reads arbitrary bytes as the stage's block of a savegame into a stage without a scene, with the
// demo actors' names known, then uses what was read the way a frame and a save do (update,
// picking rectangles, attachments, writing the block again, removing every character), so that
// a block the reader lets through can never make them misbehave.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "base/File.h"
#include "base/app/SystemRoot.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/session/Stage.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

namespace {

quillane::cl_ActorRegistry* DemoActors() {
  static base::cl_System* system = new base::cl_System;
  (void)system;
  static quillane::cl_ActorRegistry* registry = [] {
    const char list[] =
        "<Characters><Character label=\"female\"/><Character label=\"male\"/>"
        "<Character label=\"quillane\" parent=\"female\"/><Character label=\"odo\" parent=\"male\"/>"
        "<Character label=\"mina\" parent=\"female\"/><Character label=\"pell\" parent=\"male\"/></Characters>";
    const std::string path =
        fuzzsupport::WriteScratchFile(reinterpret_cast<const uint8_t*>(list), sizeof(list) - 1, "_actors.xml");
    auto* r = new quillane::cl_ActorRegistry;
    r->LoadActorList(path.c_str());
    return r;
  }();
  return registry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  DemoActors();
  base::File in;
  if (!in.open_memory(data, static_cast<int>(size), "fuzz.sav")) return 0;
  base::String scene;
  if (!quillane::cl_Stage::ReadSceneName(in, scene)) return 0;
  quillane::cl_Stage stage;
  if (!stage.ReadState(in)) return 0;
  stage.Update(0.1f);
  for (const quillane::cl_Character* character : stage.GetCharacters()) {
    stage.GetCharacterScreenRect(character);
    for (const quillane::cl_Character::st_Attachment& attachment : character->attachments)
      stage.GetAttachmentTarget(attachment);
  }
  base::String name;
  stage.PickAt(10.0f, 10.0f, name);
  const std::string out = fuzzsupport::WriteScratchFile(nullptr, 0, "_stage.bin");
  if (!out.empty()) {
    base::File file(out.c_str(), base::File::STATUS_WRITE);
    stage.WriteState(file);
    file.close();
  }
  while (!stage.GetCharacters().empty()) stage.RemoveCharacter(stage.GetCharacters().front()->name.c_str());
  return 0;
}
