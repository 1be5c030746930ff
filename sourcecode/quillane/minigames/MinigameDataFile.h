// cl_MinigameDataFile: one game's compiled data file, "gui/minigames/<game>.dat": the cache
// records of its pictures one after the other, in the order the game fixes, and last the skip
// button's strip. Nothing names or sizes the records, so the reader must ask for the same types
// in the same order as the writer wrote them; a file that does not fit (damaged, truncated,
// written by another build or for another game) fails with one "ERROR:" line naming the file.
// One routine serves both ways: the game opens the file for reading or writing and hands each
// resource to Record. Also the two rules that turn a source picture into a record's resource.
// Main thread only.
#pragma once

#include "base/File.h"
#include "base/String.h"

namespace base {
class i_Resource;
}
namespace gfx {
class cl_Image;
class cl_Texture;
class cl_TextureStrip;
}  // namespace gfx

namespace quillane {

class i_Minigame;

class cl_MinigameDataFile {
 public:
  cl_MinigameDataFile() = default;
  cl_MinigameDataFile(const cl_MinigameDataFile&) = delete;
  cl_MinigameDataFile& operator=(const cl_MinigameDataFile&) = delete;

  // False (logged) when the file cannot be opened.
  bool OpenRead(const char* name);
  bool OpenWrite(const char* name);
  // Reads from size bytes in memory (not copied); name is used in messages.
  bool OpenMemory(const void* data, int size, const char* name);

  // Reads or writes the next record by the open mode. False once anything failed; a failed read
  // leaves the resource empty, as its own reader does.
  bool Record(base::i_Resource& resource);
  // The skip strip's record last; a read must end exactly at the end of the file. Closes (a
  // written file is put in place only now) and gives the result of the whole file.
  bool Finish(i_Minigame& game);

  bool IsReading() const { return m_File.get_status() == base::File::STATUS_READ; }
  bool Failed() const { return m_Failed; }
  int GetRecordCount() const { return m_Records; }

 private:
  bool Open(const char* name, int status);
  bool Fail(const char* what);

  base::File m_File;
  base::String m_Name;
  int m_Records = 0;
  bool m_Failed = false;
};

// A source picture as an image record: the whole ".tga" (or other registered format) as one
// image. False (logged) when the picture cannot be loaded; the image is then empty.
bool CompileImage(gfx::cl_Image& image, const char* file);
// A source picture as a texture record: A8R8G8B8, loaded now, its drawing centre in its middle.
// False (logged) when the picture cannot be loaded.
bool CompileTexture(gfx::cl_Texture& texture, const char* file);
// The frames folder + "/" + <the folder's last part> + "_N.tga" as a strip record's resource, not
// playing, 0.1 of a step a frame. False for a folder without "/"; a strip without frames is
// logged with a warning.
bool CompileStrip(gfx::cl_TextureStrip& strip, const char* folder);

}  // namespace quillane
