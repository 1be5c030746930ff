// The GUI root: closing through the queue, popups on a right press, the modal list (newest first),
// the caret blink; and the slider and scroll area driven through it.
#include <gtest/gtest.h>

#include <cmath>

#include "base/app/KeyCode.h"
#include "gui_data_file.h"
#include "recording_skin.h"

namespace {

using base::cl_Window;
using guitest::cl_TestPanel;
using guitest::Down;
using guitest::Frame;
using guitest::Log;
using guitest::Move;
using guitest::Up;
using guitest::DataFile;
using guitest::st_SelfTest;
using Plain = guitest::tRecorded<cl_Window>;
using Button = guitest::tRecorded<base::cl_Button>;

// A panel covering the screen with one button of that label.
cl_TestPanel* PanelWithButton(const char* label) {
  auto* panel = new cl_TestPanel;
  panel->m_Label = label;
  auto* b = new Button;
  b->m_Label = label;
  b->m_Rect = {0, 0, 1024, 768};
  panel->AddChild(b);
  return panel;
}

TEST(GuiRoot, ClosePanelButtonClosesThePanelAtTheNextRenderOnce) {
  for (bool handlerClosesToo : {false, true}) {
    st_SelfTest t(DataFile());
    cl_TestPanel* panel = t.panel;
    const int serial = panel->m_serial;
    if (handlerClosesToo) panel->m_onEvent = [](cl_TestPanel* p, const base::Variant&) { p->Close(); };
    base::ICMD down = Down(350, 20), up = Up(350, 20);
    t.gui.ProcessInput(down);
    t.gui.ProcessInput(up);
    // Delivered first, then queued; still in the tree until the root renders.
    EXPECT_EQ(panel->m_events, (std::vector<std::string>{"ButtonPressed:Cancel"}));
    EXPECT_EQ(t.gui.GetCloseQueue().size(), 1u);
    EXPECT_EQ(t.gui.GetChild(0), panel);
    Log().ClearFrame();
    t.gui.Render(0, 0);
    EXPECT_EQ(t.gui.GetChildCount(), 0);
    EXPECT_EQ(Log().deletions[serial], 1);
    EXPECT_TRUE(Log().draws.empty());
    EXPECT_EQ(base::g_pFocusWindow, nullptr);  // the focused string control went with it
  }
}

TEST(GuiRoot, CloseButtonClosesItsPanelWithoutAnEvent) {
  st_SelfTest t(DataFile());
  const int serial = t.panel->m_serial;
  Frame(t.gui, {Down(620, 10), Up(620, 10)});
  EXPECT_EQ(Log().deletions[serial], 1);
  EXPECT_EQ(t.gui.GetChildCount(), 0);
}

TEST(GuiRoot, WindowClosedFromItsOwnInputIsNotDrawnAgain) {
  guitest::cl_TestGUI gui;
  struct cl_SelfCloser : Plain {
    bool ProcessInput(base::ICMD&) override {
      Close();
      return true;
    }
  };
  auto* w = new cl_SelfCloser;
  w->m_Label = "closer";
  w->m_Rect = {0, 0, 10, 10};
  gui.AddChild(w);
  auto* deep = new Plain;
  auto* holder = new Plain;
  holder->AddChild(deep);
  gui.AddChild(holder);
  Frame(gui, {});
  EXPECT_TRUE(Log().Drew("closer"));
  base::ICMD c = guitest::Move(1, 1);
  gui.ProcessInput(c);
  deep->Close();
  deep->Close();
  EXPECT_EQ(gui.GetCloseQueue().size(), 2u);  // one entry per window
  const int serial = w->m_serial, deepSerial = deep->m_serial;
  Log().ClearFrame();
  gui.Render(0, 0);
  EXPECT_FALSE(Log().Drew("closer"));
  EXPECT_EQ(Log().deletions[serial], 1);
  EXPECT_EQ(Log().deletions[deepSerial], 1);
  EXPECT_EQ(holder->GetChildCount(), 0);
}

TEST(GuiRoot, WindowDeletedOutsideTheQueueLeavesTheQueueAndTheModalList) {
  guitest::cl_TestGUI gui;
  auto* popup = new Plain;
  popup->m_Flags = base::WF_POPUP;
  auto* child = new Plain;
  popup->AddChild(child);
  gui.AddChild(popup);
  child->Close();
  base::ICMD right = guitest::RightDown(5, 5);
  gui.ProcessInput(right);  // the popup goes at once, with its queued child
  EXPECT_TRUE(gui.GetCloseQueue().empty());

  // Game code deleting a modal window directly, without unlinking it first.
  auto* modal = new Plain;
  gui.AddModalWindow(modal);
  delete modal;
  EXPECT_TRUE(gui.GetModalWindows().empty());
  EXPECT_EQ(gui.GetChildCount(), 0);
  Frame(gui, {Move(1, 1), Down(1, 1)});
}

TEST(GuiRoot, RightPressRemovesTopLevelPopupsUnlessAModalWindowIsOpen) {
  for (bool modal : {false, true}) {
    SCOPED_TRACE(modal ? "with a modal window" : "without");
    guitest::cl_TestGUI gui;
    auto* popup = new Plain;
    popup->m_Flags = base::WF_POPUP;
    auto* inner = new Plain;  // a popup below the top level stays
    inner->m_Flags = base::WF_POPUP;
    auto* holder = new Plain;
    holder->AddChild(inner);
    gui.AddChild(popup);
    gui.AddChild(holder);
    if (modal) gui.AddModalWindow(new Plain);
    const int popupSerial = popup->m_serial;
    Frame(gui, {guitest::RightDown(5, 5)});
    EXPECT_EQ(Log().deletions[popupSerial], modal ? 0 : 1);
    EXPECT_EQ(holder->GetChildCount(), 1);
    EXPECT_EQ(gui.GetChildCount(), modal ? 3 : 1);
  }
}

TEST(GuiRoot, NewestModalWindowTakesAllInputAndClosingItPassesInputBack) {
  st_SelfTest t(DataFile());
  cl_TestPanel* older = PanelWithButton("Older");
  cl_TestPanel* newer = PanelWithButton("Newer");
  t.gui.AddModalWindow(older);
  t.gui.AddModalWindow(newer);
  EXPECT_EQ(t.gui.GetModalWindows().front(), newer);
  Frame(t.gui, {});

  base::ICMD move = Move(900, 700);
  EXPECT_TRUE(t.gui.ProcessInput(move));  // answered whatever the modal window did
  Frame(t.gui, {Down(150, 20), Up(150, 20), guitest::Key(base::key::Enter)});
  EXPECT_EQ(newer->m_events, (std::vector<std::string>{"ButtonPressed:Newer"}));
  EXPECT_TRUE(older->m_events.empty());
  EXPECT_TRUE(t.panel->m_events.empty());  // the self-test's OK under the click saw nothing

  newer->Close();
  EXPECT_EQ(t.gui.GetModalWindows().front(), older);
  Frame(t.gui, {Down(150, 20), Up(150, 20)});
  EXPECT_EQ(older->m_events, (std::vector<std::string>{"ButtonPressed:Older"}));
  older->Close();
  Frame(t.gui, {Down(150, 20), Up(150, 20)});
  EXPECT_EQ(t.panel->m_events, (std::vector<std::string>{"ButtonPressed:OK"}));
  EXPECT_EQ(t.gui.GetChildCount(), 1);
}

TEST(GuiRoot, TheTopLevelWindowDrawnOnTopTakesTheInputFirst) {
  st_SelfTest t(DataFile());
  std::vector<cl_TestPanel*> panels;  // older first, each covering the screen
  for (const char* label : {"Older", "Newer"}) t.gui.AddChild(panels.emplace_back(PanelWithButton(label)));
  const std::vector<base::ICMD> click = {Down(150, 20), Up(150, 20)};
  Frame(t.gui, {});
  Frame(t.gui, click);
  EXPECT_EQ(panels[1]->m_events, (std::vector<std::string>{"ButtonPressed:Newer"}));
  EXPECT_TRUE(panels[0]->m_events.empty() && t.panel->m_events.empty());

  // Closed, it takes nothing while it waits for its deletion; the one below answers.
  panels[1]->Close();
  for (base::ICMD cmd : click) t.gui.ProcessInput(cmd);
  EXPECT_EQ(panels[0]->m_events, (std::vector<std::string>{"ButtonPressed:Older"}));
  EXPECT_EQ(panels[1]->m_events.size(), 1u);
}

TEST(GuiRoot, CaretBlinkStaysInItsRange) {
  guitest::cl_TestGUI gui;
  base::g_CaretBlink = 0;
  for (float dt : {0.3f, 0.7f, 0.99999994f, 1.0f, 2.5f, 1e-9f, 123456.7f, 0.0f, -0.25f}) {
    gui.Update(dt);
    EXPECT_GE(base::g_CaretBlink, 0.0f) << dt;
    EXPECT_LT(base::g_CaretBlink, 1.0f) << dt;
  }
  gui.Update(NAN);
  EXPECT_EQ(base::g_CaretBlink, 0.0f);
}

TEST(GuiSlider, DraggedPastItsEndStaysPinnedThenMovesByTheAccumulatedMovement) {
  st_SelfTest t(DataFile());
  cl_Window* handle = t.Find<base::cl_Slider>("Volume")->m_pHandle;
  ASSERT_NE(handle, nullptr);
  struct {
    base::ICMD cmd;
    float x;
  } steps[] = {
      {Down(15, 165), 0},    {Move(100, 165), 85},  {Move(300, 165), 184}, {Move(400, 165), 184},
      {Move(20, 165), 104},  {Move(0, 165), 0},     {Move(30, 165), 10},
      {Up(500, 300), 10},    {Move(150, 165), 10},
  };
  for (auto& s : steps) {
    Frame(t.gui, {s.cmd});
    EXPECT_FLOAT_EQ(handle->m_Rect.x, s.x) << "mouse " << s.cmd.mouseX;
    EXPECT_FLOAT_EQ(handle->m_Rect.y, 0);  // as tall as the slider
  }
}

TEST(GuiScrollArea, VerticalSliderScrollsTheRowsAndDrawingIsClipped) {
  st_SelfTest t(DataFile());
  auto* list = t.Find<guitest::cl_TestList>("Rows");
  base::cl_ScrollArea* area = list->m_pScrollArea;
  ASSERT_NE(area, nullptr);
  Log().ClearFrame();
  Frame(t.gui, {});
  // Content 8 rows of 20 (to y 163) in an area 100 high: the vertical slider is on.
  EXPECT_FALSE(area->m_pVSlider->HasFlag(base::WF_DISABLED));
  EXPECT_TRUE(area->m_pHSlider->HasFlag(base::WF_DISABLED));
  EXPECT_FLOAT_EQ(area->m_pClient->m_Rect.w, 200 - 18);
  ASSERT_GE(Log().clips.size(), 2u);  // this area's pair comes first
  EXPECT_FLOAT_EQ(Log().clips[0].left, 303);
  EXPECT_FLOAT_EQ(Log().clips[0].bottom, 149);
  EXPECT_FLOAT_EQ(Log().clips[1].left, -1);  // switched off after the client

  cl_Window* handle = area->m_pVSlider->GetChild(0);
  const float room = area->m_pVSlider->m_Rect.h - handle->m_Rect.h;
  ASSERT_GT(room, 0);
  const float grip = handle->m_AbsRect.top + 4;
  Frame(t.gui, {Down(490, static_cast<int>(grip)), Move(490, static_cast<int>(grip) + 500), Up(490, 600)});
  EXPECT_FLOAT_EQ(area->m_ScrollY, area->m_ContentH - 100);
  // Scrolled to the end: the last row is under the mouse where the first was.
  Frame(t.gui, {Down(310, 140), Up(310, 140)});
  EXPECT_EQ(t.panel->m_events, (std::vector<std::string>{"SelectionChanged:Rows:Row7"}));
}

TEST(GuiScrollArea, SliderWithoutRoomLeavesTheOffsetFinite) {
  st_SelfTest t(DataFile());
  base::cl_ScrollArea* area = t.Find<guitest::cl_TestList>("Picks")->m_pScrollArea;
  // The horizontal handle as wide as its slider: a drag on it must not divide by zero.
  cl_Window* handle = area->m_pHSlider->GetChild(0);
  handle->m_Rect.w = area->m_pHSlider->m_Rect.w;
  area->m_pHSlider->m_Rect.y = 0;
  area->m_pHSlider->SetFlag(base::WF_DISABLED, false);
  area->m_pHSlider->Render(area->m_AbsRect.left, area->m_AbsRect.top);
  base::ICMD press = Down(static_cast<int>(handle->m_AbsRect.left) + 2, static_cast<int>(handle->m_AbsRect.top) + 2);
  base::ICMD move = Move(press.mouseX + 30, press.mouseY);
  EXPECT_TRUE(area->ProcessInput(press));
  EXPECT_TRUE(area->ProcessInput(move));
  EXPECT_TRUE(std::isfinite(area->m_ScrollX));
  EXPECT_EQ(area->m_ScrollX, 0);
}

}  // namespace
