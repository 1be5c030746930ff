// cl_LoadImageDialog: the editors' one file browser (layout "ImageLoad"): a list of files that the
// caller fills ("FileNames"), a name field ("label") and a preview. Its mode says what it answers
// on "Ok": the scene editor's element groups an "AddElement" with a "Layer" (images go on to the
// crop tool, except for the sky), "Lights" the light-type dialog's answer with the chosen file,
// and the mini-game editors "SelectImage", "SelectXML" or "SelectFolder" (not before a file is
// chosen). The caller makes it modal; the dialog closes itself on "Ok" and "Cancel".
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "graphics/image/Image.h"

namespace quillane {

// text whole when shorter than maxLength or of at most 2 characters; else its first
// maxLength - 2 characters and "..".
base::tString<base::BaseString> ShortenForDisplay(const base::tString<base::BaseString>& text, int maxLength);

// The browser's lists of a scene folder's pictures. list := "List" of "String" entries, one per
// "*.bmp" then per "*.tga" file of folder.
void FillImageFileList(base::Variant& list, const base::tString<base::BaseString>& folder);
// FillImageFileList, then "<name>.tst" for every sub-folder of folder + "TextureStrips".
void FillStageFileList(base::Variant& list, const base::tString<base::BaseString>& folder);

class cl_LoadImageDialog : public base::cl_Panel {
 public:
  // The picture every browser previews first.
  static constexpr const char* kDefaultPreview = "Scenes/Test/Test.bmp";

  // A new dialog (not yet in a GUI) for mode with a copy of options as its answer; listener is not
  // owned and must outlive it.
  static cl_LoadImageDialog* Open(base::cl_Window* listener, base::tString<base::BaseString> mode,
                                  base::Variant options);
  explicit cl_LoadImageDialog(base::cl_Window* listener);  // loads "ImageLoad", previews kDefaultPreview

  // Remembers path; loads it while "ShowPreview" is on; then shows the preview, its size, the
  // chosen file's short name, and the name without extension in "label".
  void SetPreview(const base::tString<base::BaseString>& path, int flag);
  // The preview from the file; an empty preview when it cannot be read.
  void LoadPreviewImage(const base::tString<base::BaseString>& path, int flag);
  // "Ok" and "Cancel", and a new selection in "FileNames"; every event is consumed.
  bool ProcessEvent(const base::Variant& event) override;

  const gfx::cl_Image& GetPreview() const { return m_preview; }
  const base::tString<base::BaseString>& GetSelected() const { return m_selected; }
  const base::tString<base::BaseString>& GetPreviewPath() const { return m_previewPath; }
  const base::tString<base::BaseString>& GetMode() const { return m_mode; }

 private:
  void Accept();
  void ChooseSelected();
  base::tString<base::BaseString> FieldText(const char* control);
  void Answer(base::Variant& answer);  // to the listener, once this dialog is closed

  gfx::cl_Image m_preview;
  base::tString<base::BaseString> m_selected;
  base::tString<base::BaseString> m_mode;
  base::tString<base::BaseString> m_previewPath;
  base::Variant m_answer;
  base::cl_Window* m_listener;
};

}  // namespace quillane
