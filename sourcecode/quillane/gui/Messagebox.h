// The game's one modal question window: a centred, framed message with an "OK" button, a yes/no
// pair or a text field with a "Clear" button. Callers open it with cl_Messagebox::Show and get the
// answer later, once, as an event on a window of their choice: an element labelled with their id
// ("MB_quit", ...) whose "ctrl_label" is "Ok", "Cancel" or another button's label, and, for a box
// with a text field, whose "text" holds the entered text.
#pragma once

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUIBasicControls.h"

namespace gfx {
class cl_Font;
}

class cl_GameEdit;

class cl_Messagebox : public base::cl_Panel {
 public:
  // ORDER MBSTATE
  enum en_State { STATE_OPEN = 0, STATE_FADING_IN = 1, STATE_CLOSING = 2, STATE_ANSWERED = 3 };
  static constexpr float kFadeSpeed = 512;  // alpha units per second
  static constexpr int kShowWidth = 405;

  cl_Messagebox();  // the "messagebox" font centred; fading in towards 0
  ~cl_Messagebox() override;

  using base::cl_Panel::Show;  // the window's show/hide, beside the static opener below
  // A new box in parent (the global GUI when null) as its newest modal window, laid out at
  // kShowWidth. Null, logged, when there is no GUI to show it in. editDefault: "MB_EDIT" only.
  static cl_Messagebox* Show(const char* type, const char* textKey, const char* id, const char16_t* editDefault,
                             base::cl_GUI* parent, base::cl_Window* listener);
  // The same for a failure: an "MB_OK" box with what failed (textKey) and, on a line of its own,
  // why (causeKey; null for none).
  static cl_Messagebox* ShowFailure(const char* textKey, const char* causeKey, const char* id, base::cl_GUI* parent,
                                    base::cl_Window* listener);
  // Builds the box for type ("MB_OK", "MB_YESNO", "MB_EDIT"; others get no button) and centres it
  // in the window as it is now. Always true.
  bool Layout(const char* type, const char* textKey, const char* id, const char16_t* editDefault, int width,
              base::cl_Window* listener);

  void SetFadeTarget(float alpha) { m_TargetAlpha = alpha; }
  // Closes the box without an answer, for an opener that ends or goes before it is answered:
  // the listener hears nothing from it any more.
  void Withdraw();
  // Localises the key (null: nothing), followed by the cause of a failure box on a line of its
  // own, and measures it wrapped at the text width.
  void SetText(const char* textKey);
  base::tString<base::BaseString> GetType() const { return m_Type; }
  const base::tString<base::BaseUnicodeString>& GetMessageText() const { return m_MessageText; }  // as shown
  base::tString<base::BaseUnicodeString> GetEditText() const;  // empty without a text field
  int GetState() const { return m_State; }
  float GetTextWidth() const { return m_TextWidth; }
  float GetTextHeight() const { return m_TextHeight; }
  cl_GameEdit* GetEdit() const { return m_pEdit; }

  // The dimming, then (once it reached its target) frame, corners, message and buttons.
  void Render(float px, float py) override;
  // Fades in; once closing has faded out, answers the listener once and closes the box.
  void Update(float dt) override;
  // Esc answers "Cancel" and Enter "Ok"; the rest goes to the buttons and the text field.
  bool ProcessInput(base::ICMD& cmd) override;
  // The buttons' "ButtonPressed": "Clear" empties the field, another label answers (not while the
  // field is empty). Always true: nothing passes the box.
  bool ProcessEvent(const base::Variant& event) override;
  void Activate() override {}

 private:
  static cl_Messagebox* Open(const char* type, const char* textKey, const char* causeKey, const char* id,
                             const char16_t* editDefault, base::cl_GUI* parent, base::cl_Window* listener);
  void PrepareAnswer();
  void Answer(const base::Variant& answer);  // takes the answer and starts closing

  base::tString<base::BaseUnicodeString> m_MessageText;
  float m_TextWidth = 0;
  float m_TextHeight = 0;
  gfx::cl_Font* m_pFont = nullptr;
  base::cl_Window* m_pListener = nullptr;  // not owned; must outlive the box
  cl_GameEdit* m_pEdit = nullptr;          // a child, or null
  base::tString<base::BaseString> m_Id;
  base::tString<base::BaseString> m_Type;
  base::tString<base::BaseString> m_CauseKey;  // a failure's cause, shown under its message
  float m_Alpha = 0;
  float m_TargetAlpha = 0;
  base::Variant m_Answer;
  bool m_bSelfUpdate = true;
  int m_State = STATE_FADING_IN;
};

// A picture button of the box: its label is the answer word, its text the picture's base name
// (drawn with "_default", "_highlight" or "_pressed").
class cl_MessageboxButton : public base::cl_Button {
 public:
  cl_MessageboxButton(const char* label, const char* imageBase, float x, float y, float w, float h,
                      cl_Messagebox* owner);
  void Render(float px, float py) override;
  bool ProcessInput(base::ICMD& cmd) override;  // the button's; the mouse-over sound on entering

  cl_Messagebox* m_pOwner;  // not owned
};
