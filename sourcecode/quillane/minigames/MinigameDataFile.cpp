// A mini-game's compiled data file: its records in the game's order, the skip strip last.
#include "quillane/minigames/MinigameDataFile.h"

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/resource/Resource.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/Minigame.h"

namespace quillane {

namespace {

constexpr float kStripFrameStep = 0.1f;  // the games' strips: a tenth of a step a frame

}  // namespace

bool cl_MinigameDataFile::Open(const char* name, int status) {
  m_Name = name ? name : "";
  m_Records = 0;
  m_Failed = !m_File.open(name, status);
  if (m_Failed)
    base::sys::Output("ERROR: mini-game data file '%s' cannot be %s%s\n", m_Name.c_str(),
                      status == base::File::STATUS_READ ? "read" : "written", m_File.write_error_note().c_str());
  return !m_Failed;
}

bool cl_MinigameDataFile::OpenRead(const char* name) { return Open(name, base::File::STATUS_READ); }

bool cl_MinigameDataFile::OpenWrite(const char* name) { return Open(name, base::File::STATUS_WRITE); }

bool cl_MinigameDataFile::OpenMemory(const void* data, int size, const char* name) {
  m_Name = name ? name : "";
  m_Records = 0;
  m_Failed = !m_File.open_memory(data, size, name);
  return !m_Failed;
}

bool cl_MinigameDataFile::Fail(const char* what) {
  if (!m_Failed)
    base::sys::Output("ERROR: mini-game data file '%s': %s (record %d, offset %d)\n", m_Name.c_str(), what,
                      m_Records + 1, m_File.get_current_position());
  m_Failed = true;
  return false;
}

bool cl_MinigameDataFile::Record(base::i_Resource& resource) {
  if (m_Failed || !m_File.is_open()) return false;
  if (IsReading()) {
    // An empty rest cannot hold a record; the readers would take it for an empty resource.
    if (m_File.get_remaining() <= 0) return Fail("the file ends before this record");
    resource.Read(&m_File);
  } else {
    resource.Write(&m_File);
  }
  if (m_File.has_error()) return Fail(IsReading() ? "a record does not fit" : "a record could not be written");
  ++m_Records;
  return true;
}

bool cl_MinigameDataFile::Finish(i_Minigame& game) {
  if (!m_File.is_open()) return false;
  if (IsReading()) {
    if (!m_Failed && m_File.get_remaining() <= 0) Fail("the file ends before the skip button's record");
    if (!m_Failed && !game.ReadPanicStrip(m_File)) Fail("the skip button's record does not fit");
    // Bytes after the last record mean the reader and the writer disagree on the records.
    if (!m_Failed && m_File.get_remaining() > 0) Fail("bytes follow the skip button's record");
    m_File.close();
  } else {
    if (!m_Failed && !game.WritePanicStrip(m_File)) Fail("the skip button's record could not be written");
    if (m_Failed) {
      m_File.discard();  // the old file, if any, stays
    } else if (!m_File.close()) {
      m_Failed = true;  // close() has said why
    }
  }
  if (!m_Failed) ++m_Records;
  return !m_Failed;
}

bool CompileImage(gfx::cl_Image& image, const char* file) {
  if (!file || !base::FileExists(file) || !image.Load(file) || image.GetTileCount() == 0) {
    base::sys::Output("ERROR: mini-game picture '%s' cannot be read\n", file ? file : "");
    return false;
  }
  return true;
}

bool CompileTexture(gfx::cl_Texture& texture, const char* file) {
  texture.SetFileA8R8G8B8(file);
  const bool loaded = file && base::FileExists(file) && texture.Load();
  texture.SetCenterToMiddle();
  if (!loaded) base::sys::Output("ERROR: mini-game picture '%s' cannot be read\n", file ? file : "");
  return loaded;
}

bool CompileStrip(gfx::cl_TextureStrip& strip, const char* folder) {
  strip.SetPlayMode(gfx::cl_TextureStrip::PLAY_STOPPED, kStripFrameStep);
  const base::String path(folder ? folder : "");
  const int slash = path.find_last('/');
  if (slash < 0) return false;
  base::Variant description;
  description.set_element("element");
  description.attribute("path")->set_string((path + "/").c_str());
  description.attribute("name")->set_string(path.mid(slash + 1).c_str());
  strip.Compile(description, false);
  if (strip.GetFrameCount() == 0) base::sys::Output("Warning: the strip %s has no frames\n", folder);
  return true;
}

}  // namespace quillane
