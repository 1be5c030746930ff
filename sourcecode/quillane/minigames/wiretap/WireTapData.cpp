// The wire-tap game's compiled data file "gui/minigames/wiretap.dat": four images, the 21
// textures (terminals, tiles, lit tiles; the last six empty) and the skip strip, built from the
// pictures under "gui/minigames/wiretap/".
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/wiretap/WireTap.h"

namespace quillane {

namespace {


// ORDER TEXTURES: the texture table's files; the tiles and lit tiles are centred in the middle.
constexpr const char* kTextureFiles[] = {
    "gui/minigames/wiretap/telephonein.tga",        "gui/minigames/wiretap/telephoneout.tga",
    "gui/minigames/wiretap/telephonetap.tga",       "gui/minigames/wiretap/telephonein_active.tga",
    "gui/minigames/wiretap/telephoneout_active.tga", "gui/minigames/wiretap/telephonetap_active.tga",
    "gui/minigames/wiretap/tile00.tga",             "gui/minigames/wiretap/tile01.tga",
    "gui/minigames/wiretap/tile02.tga",             "gui/minigames/wiretap/tile03.tga",
    "gui/minigames/wiretap/tile04.tga",             "gui/minigames/wiretap/tile01_active.tga",
    "gui/minigames/wiretap/tile02_active.tga",      "gui/minigames/wiretap/tile03_active.tga",
    "gui/minigames/wiretap/tile04_active.tga",
};

}  // namespace

const char* cl_WiretapPanel::TerminalPictureFile(int index) {
  return index >= 0 && index < kFirstTilePicture ? kTextureFiles[index] : nullptr;
}

bool cl_WiretapPanel::CompileBoardImage(gfx::cl_Image& image, const char* file) {
  base::cl_Bitmap32 bitmap;
  const bool found = base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(file, &bitmap);
  if (!found) base::sys::Output("Compile Wiretap Minigame Error! Texture %s not exists!\n", file);
  // A missing picture still gives an image (an empty one), so the record order holds.
  image.CreateFromBitmap(&bitmap, 0, 0, bitmap.Width(), bitmap.Height(), false, true);
  return found;
}

void cl_WiretapPanel::CompileTerminalTextures() {
  for (int i = 0; i < kFirstTilePicture; ++i) {
    m_Textures[i].SetFileA8R8G8B8(TerminalPictureFile(i));
    m_Textures[i].Load();
  }
}

void cl_WiretapPanel::CompileTileTextures() {
  for (int i = kFirstTilePicture; i <= kLastTilePicture + kLitOffset; ++i) CompileTexture(m_Textures[i], kTextureFiles[i]);
}

bool cl_WiretapPanel::Compile(const char* dataFile) {
  base::sys::Output("Compile Wiretap Minigame\n");
  if (!CompileBoardImage(m_Back, "gui/minigames/wiretap/back.tga")) return false;
  if (!CompileBoardImage(m_GridBack, "gui/minigames/wiretap/gridback.tga")) return false;
  CompileBoardImage(m_GridFront, "gui/minigames/wiretap/gridfront.tga");
  CompileBoardImage(m_Note, "gui/minigames/wiretap/note.tga");
  CompileTileTextures();
  CompileTerminalTextures();
  if (!CompilePanicStrip("gui/minigames/wiretap/texturestrips/panicbutton")) return false;
  return WriteDataFile(dataFile);
}

std::vector<gfx::cl_Image*> cl_WiretapPanel::DataImages() { return {&m_Back, &m_GridBack, &m_GridFront, &m_Note}; }

bool cl_WiretapPanel::ArchiveDataFile(cl_MinigameDataFile& file) {
  for (gfx::cl_Image* image : DataImages()) file.Record(*image);
  for (gfx::cl_Texture& texture : m_Textures) file.Record(texture);
  return file.Finish(*this);
}

bool cl_WiretapPanel::WriteDataFile(const char* fileName) {
  cl_MinigameDataFile file;
  return file.OpenWrite(fileName) && ArchiveDataFile(file);
}

bool cl_WiretapPanel::ReadDataFile() {
  cl_MinigameDataFile file;
  return file.OpenRead(m_DataFile.c_str()) && ArchiveDataFile(file);
}

}  // namespace quillane
