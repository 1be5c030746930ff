// The savegame writer and the thumbnails. The file goes through the engine's crash-safe file:
// a kill or a full disk at any moment leaves the old save or the complete new one.
#include "base/File.h"
#include "base/file/SafeFile.h"
#include "base/imaging/BitmapEffects.h"
#include "base/system.h"
#include "quillane/savegame/SavegameFailure.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/savegame/StageRecords.h"

namespace quillane {

namespace {

constexpr int kReducedWidth = 102;
constexpr int kThumbnailSide = 64;
constexpr int kThumbnailLeft = (kReducedWidth - kThumbnailSide) / 2;  // 19

bool WriteRecords(base::File& file, const st_SavegameImage& image, const tStageWriter& stage) {
  if (!WriteStageU32(file, image.version) || !image.head.m_name.Write(file)) return false;
  if (!image.head.m_grey.Write(&file) || !image.head.m_colour.Write(&file)) return false;
  if (image.head.m_header.is_element()) {
    if (!image.head.m_header.Write(&file)) return false;
  } else {
    // The list reads an element here; a caller without a header still gets a loadable save.
    base::Variant empty;
    empty.set_element("SaveData");
    if (!empty.Write(&file)) return false;
  }
  if (!image.head.m_preview.Write(&file) || !image.gameState.Write(&file)) return false;
  if (stage) return stage(file);
  if (!WriteStageText(file, image.sceneName)) return false;
  return image.stageBlock.empty() || file.write(image.stageBlock.data(), static_cast<int>(image.stageBlock.size()));
}

}  // namespace

void MakeSavegameThumbnails(const base::cl_Bitmap32& picture, base::cl_Bitmap32& grey, base::cl_Bitmap32& colour) {
  grey.Release();
  colour.Release();
  // Before the first picture was taken there is nothing to reduce; the save keeps 0 x 0.
  if (picture.IsEmpty()) return;
  base::cl_Bitmap32Ex work;
  static_cast<base::cl_Bitmap32&>(work) = picture;
  work.Resample(kReducedWidth, kThumbnailSide);
  work.Crop(base::tLimit<base::tVector2<int>>(kThumbnailLeft, 0, kThumbnailLeft + kThumbnailSide, kThumbnailSide));
  work.SetOrigin(0, 0);
  colour = work;
  work.Desaturate();
  grey = std::move(static_cast<base::cl_Bitmap32&>(work));
}

bool WriteSavegameFile(const char* path, const st_SavegameImage& image, const tStageWriter& stage) {
  const char* name = path ? path : "";
  SetSavegameFailure(en_SavegameFailure::None);
  // What the player is told: the cause the system gave, else that it failed.
  auto fail = [](const base::File& file) {
    const en_SavegameFailure failure = SavegameFailureOf(file.error_number());
    SetSavegameFailure(failure == en_SavegameFailure::None ? en_SavegameFailure::Other : failure);
    return false;
  };
  // A save killed earlier left its temporary file; it will never be committed now.
  base::RemoveStaleTempFiles(name);
  base::File file;
  if (!file.open(name, base::File::STATUS_WRITE)) {
    base::sys::Output("ERROR: savegame '%s' cannot be created%s\n", name, file.write_error_note().c_str());
    return fail(file);
  }
  if (!WriteRecords(file, image, stage)) {
    base::sys::Output("ERROR: savegame '%s' could not be written%s; the previous save is kept\n", name,
                      file.write_error_note().c_str());
    file.discard();
    return fail(file);
  }
  return file.close() || fail(file);
}

}  // namespace quillane
