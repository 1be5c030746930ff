// The game-styled controls that cl_GameGUI registers in place of the default skin's: the one-line
// text field (German keyboard, a localised set of allowed characters, key repeat), the check box,
// and the slider with its handle drawn from the scroll-bar pictures.
#pragma once

#include <cstdint>

#include "base/app/ICMD.h"
#include "base/gui/GUIEdit.h"

// The allowed characters of a text field: the localised text of this key.
extern const char* const kValidCharactersKey;

// One line of wide text with a caret. Typing inserts only allowed characters (digits come from
// the plain key, so shifted digit keys still give digits) up to the maximum length; a character
// typed into a full field is refused with the error sound and the field's outline turns red for
// kFullShown seconds, so the player sees why it stopped. A held key repeats after kRepeatDelay,
// then every kRepeatInterval.
class cl_GameEdit : public base::cl_Edit {
 public:
  static constexpr float kRepeatDelay = 0.75f;
  static constexpr float kRepeatInterval = 0.1f;
  static constexpr uint32_t kAccentColour = 0xFFDCA459u;
  static constexpr uint32_t kFullColour = 0xFFD03020u;
  static constexpr float kFullShown = 0.6f;

  cl_GameEdit();
  ~cl_GameEdit() override;

  void SetFocus() override;  // takes the focus with the caret at the end of the text
  // Outline, the end of the text that fits, and the blinking caret while focused.
  void Render(float px, float py) override;
  void Update(float dt) override;  // key repeat, and the full field's sign fading
  // A left release over it takes the focus; a key press while focused edits; a key release ends
  // the repeat (and is not taken).
  bool ProcessInput(base::ICMD& cmd) override;
  // The common description keys only: the text lives in m_WideText, not in rows.
  bool Init(base::StaticVariantIterator desc) override;
  void GetValue(base::Variant& out) override;  // the text as a narrow (Latin-1) string

  void SetText(const char16_t* text);  // null changes nothing
  base::tString<base::BaseUnicodeString> GetText() const { return m_WideText; }
  // Applies one key command at the caret (the caret is first pulled into the text).
  void HandleKey(const base::ICMD& cmd);
  // The caret's x for the first characters of text: each trailing blank counts 4 pixels, since
  // the font measures a text's trailing blanks as nothing.
  int CaretX(const base::tString<base::BaseUnicodeString>& text, float offset) const;

  int m_MaxLength = -1;  // -1: no limit
  float m_FullShown = 0;  // seconds the full field's sign still shows
  float m_RepeatTimer = 0;
  bool m_bKeyHeld = false;
  base::ICMD m_HeldCmd;

 private:
  bool IsShown() const;          // neither it nor a parent is hidden
  uint32_t m_releaseSerial = 0;  // the GUI root's key-release serial when the key went down
};

// A raised grey box with the check picture while its value is not 0, its caption at the right.
class cl_QLCheckBox : public base::cl_CheckBox {
 public:
  void Render(float px, float py) override;
  bool Init(base::StaticVariantIterator desc) override;  // an empty description: nothing, true
};

// Only its handle is drawn, and nothing at all while it is disabled.
class cl_QLSlider : public base::cl_Slider {
 public:
  void Render(float px, float py) override;
};

// The scroll-bar pictures: a stretched middle and two caps, one pixel lower than the toolkit
// places the handle.
class cl_QLSliderHandle : public base::cl_SliderHandle {
 public:
  void Render(float px, float py) override;
};
