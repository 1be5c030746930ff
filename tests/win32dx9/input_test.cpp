// Keyboard and mouse to input commands: the key-code table, order across the two devices,
// modifiers, mouse deltas and positions, key state, and SDL events pushed through SDL itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "platform/input/Input.h"
#include "platform/input/SdlEvents.h"
#include "platform/input/Window.h"
#include "win32dx9/DX9InputDevice.h"

namespace {

using platform::input::Queue;
using win32dx9::cl_DX9InputDevice;

class InputDevice : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_device.StartUp()); }
  // One poll; the commands it produced.
  std::vector<base::ICMD> Poll() {
    m_device.Update(0.0f, 0.0f);
    std::vector<base::ICMD> out;
    base::ICMD cmd;
    while (m_device.PopCommand(cmd)) out.push_back(cmd);
    return out;
  }
  Queue m_queue;
  cl_DX9InputDevice m_device{&m_queue};
};

TEST_F(InputDevice, KeyCodesFollowTheGermanPositions) {
  struct st_Case {
    uint8_t scan;
    uint8_t key;
  };
  const st_Case cases[] = {
      {0x1E, 'A'}, {0x2C, 'Y'}, {0x15, 'Z'}, {0x0E, 9},   {0x0F, 8},   {0x0C, 223}, {0x3D, 223}, {0x1C, 13},
      {0x9C, 13},  {0x52, 160}, {0x49, 169}, {0x37, 0},   {0xB5, 0},   {0x56, 0},   {0xC8, 242}, {0xDD, 209},
      {0x1D, 201}, {0x9D, 202}, {0x2A, 203}, {0x36, 204}, {0x38, 205}, {0xB8, 206}, {0x57, 231}, {0x66, 235},
  };
  for (const st_Case& c : cases) {
    m_queue.Key(c.scan, true, 0);
    m_queue.Key(c.scan, false, 0);
    const std::vector<base::ICMD> cmds = Poll();
    ASSERT_EQ(cmds.size(), 2u) << int(c.scan);
    EXPECT_EQ(cmds[0].type, cl_DX9InputDevice::KEY_DOWN);
    EXPECT_EQ(cmds[1].type, cl_DX9InputDevice::KEY_UP);
    for (const base::ICMD& cmd : cmds) {
      EXPECT_EQ(cmd.key, c.key) << "scan " << int(c.scan);
      EXPECT_EQ(cmd.scan, c.scan);
    }
  }
}

TEST_F(InputDevice, EventsOfBothDevicesComeOutInTheOrderTheyHappened) {
  m_queue.Key(0x1E, true, 10);
  m_queue.MouseButton(0, true, 11);
  m_queue.MouseButton(0, false, 12);
  m_queue.Key(0x1E, false, 13);
  m_queue.MouseButton(1, true, 14);
  m_queue.MouseButton(2, false, 15);
  m_queue.MouseButton(3, true, 16);  // a fourth button has no command
  m_queue.MouseWheel(-120, 17);
  std::vector<uint8_t> types;
  for (const base::ICMD& cmd : Poll()) types.push_back(cmd.type);
  EXPECT_EQ(types, (std::vector<uint8_t>{0, 3, 4, 1, 5, 8, 11}));
}

TEST_F(InputDevice, ModifierWordCountsEitherSide) {
  m_queue.Key(0x1D, true, 0);   // left ctrl
  m_queue.Key(0x9D, true, 0);   // right ctrl
  m_queue.Key(0x1D, false, 0);  // one released: ctrl still held
  m_queue.Key(0x36, true, 0);   // right shift
  m_queue.Key(0xB8, true, 0);   // right alt
  m_queue.Key(0x1E, true, 0);
  m_queue.Key(0x36, false, 0);
  m_queue.Key(0x1E, false, 0);
  std::vector<uint16_t> modifiers;
  for (const base::ICMD& cmd : Poll()) modifiers.push_back(cmd.modifiers);
  EXPECT_EQ(modifiers, (std::vector<uint16_t>{2, 2, 2, 3, 7, 7, 6, 6}));
  EXPECT_EQ(m_device.GetModifiers(), 6);
}

// Each mouse command is where the pointer was when it happened: a press, a drag and a release
// that fall into one frame come out in order, each at its own place; a cursor that changed
// without a motion (the window opened under a resting pointer) becomes a move of nothing.
TEST_F(InputDevice, MouseCommandsKeepTheirOwnPlaceAndOrderWithinAPoll) {
  m_queue.SetCursor(10, 10);
  m_queue.MouseButton(0, true, 0);
  m_queue.MouseMotion(3, 0, 13, 10, 0);
  m_queue.MouseMotion(0, -2, 13, 8, 0);
  m_queue.MouseButton(0, false, 0);
  m_queue.MouseWheel(240, 0);
  std::vector<base::ICMD> cmds = Poll();
  ASSERT_EQ(cmds.size(), 5u);
  const uint8_t types[] = {cl_DX9InputDevice::LEFT_DOWN, cl_DX9InputDevice::MOUSE_MOVE, cl_DX9InputDevice::MOUSE_MOVE,
                           cl_DX9InputDevice::LEFT_UP, cl_DX9InputDevice::WHEEL};
  const int places[][2] = {{10, 10}, {13, 10}, {13, 8}, {13, 8}, {13, 8}};
  for (size_t i = 0; i < cmds.size(); ++i) {
    EXPECT_EQ(cmds[i].type, types[i]) << i;
    EXPECT_EQ(cmds[i].mouseX, places[i][0]) << i;
    EXPECT_EQ(cmds[i].mouseY, places[i][1]) << i;
  }
  EXPECT_EQ(int16_t(cmds[1].extra[0]), 6);  // deltas are scaled
  EXPECT_EQ(int16_t(cmds[2].extra[1]), -4);
  EXPECT_EQ(int16_t(cmds[4].extra[2]), 240);

  m_queue.SetCursor(400, 300);
  cmds = Poll();
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].type, cl_DX9InputDevice::MOUSE_MOVE);
  EXPECT_EQ(cmds[0].mouseX, 400);
  EXPECT_EQ(cmds[0].mouseY, 300);
  EXPECT_EQ(cmds[0].extra[0], 0);
  EXPECT_TRUE(Poll().empty());
}

// A frame of a second on a busy machine gathers a hand's whole move to a character and the click
// there: the move's hundreds of motions fill the mouse buffer, and the click must still come out,
// after the move, where the pointer is. The motion is folded, not lost: the deltas add up.
TEST_F(InputDevice, AClickAfterALongMoveInOneFrameIsKept) {
  m_queue.SetCursor(100, 100);
  int x = 100, y = 100;
  const auto move = [&](int steps, int dx, int dy) {
    for (int i = 0; i < steps; ++i) {
      x += dx, y += dy;
      m_queue.MouseMotion(dx, dy, x, y, 0);
    }
  };
  move(300, 1, 1);
  m_queue.MouseButton(0, true, 0);
  m_queue.MouseButton(0, false, 0);
  move(20, 1, -1);
  m_queue.MouseButton(0, true, 0);
  m_queue.MouseButton(0, false, 0);

  platform::input::DeviceData data[platform::input::kBufferSize];
  const uint32_t n = m_queue.GetMouseData(data, platform::input::kBufferSize);
  int sumX = 0, sumY = 0;
  std::vector<std::vector<int>> buttons;  // pressed, x, y, and the motion ahead of it
  for (uint32_t i = 0; i < n; ++i) {
    const platform::input::DeviceData& d = data[i];
    if (d.offset == platform::input::mouse::X) sumX += int16_t(d.data);
    if (d.offset == platform::input::mouse::Y) sumY += int16_t(d.data);
    if (d.offset == platform::input::mouse::Button0)
      buttons.push_back({int((d.data & platform::input::kPressed) != 0), d.x, d.y, sumX, sumY});
  }
  EXPECT_EQ(sumX, 320);
  EXPECT_EQ(sumY, 280);
  // Each press and release with the place it happened at, and only the motion before it ahead of it.
  EXPECT_EQ(buttons, (std::vector<std::vector<int>>{
                         {1, 400, 400, 300, 300}, {0, 400, 400, 300, 300}, {1, 420, 380, 320, 280}, {0, 420, 380, 320, 280}}));
}

// A play step moves the pointer across tens of thousands of pixels at once: the scaled delta
// saturates in the command's 16 bits, keeping its direction.
TEST_F(InputDevice, AFarMoveSaturatesItsScaledDelta) {
  m_queue.MouseMotion(-31319, 0, 0, 0, 0);
  m_queue.MouseMotion(0, 31319, 0, 0, 0);
  const std::vector<base::ICMD> cmds = Poll();
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(int16_t(cmds[0].extra[0]), -32768);
  EXPECT_EQ(int16_t(cmds[1].extra[1]), 32767);
}

TEST_F(InputDevice, KeyStateByCode) {
  m_queue.Key(0x1C, true, 0);  // Return and numpad Enter share Enter
  m_queue.Key(0x9C, true, 0);
  m_queue.Key(0x9C, false, 0);
  m_queue.Key(0x37, true, 0);  // unmapped: code 0 stays up
  m_queue.Key(0x58, true, 0);  // F12
  Poll();
  EXPECT_TRUE(m_device.IsKeyDown(base::key::Enter));
  EXPECT_TRUE(m_device.IsKeyDown(base::key::F12));
  EXPECT_FALSE(m_device.IsKeyDown(0));
  EXPECT_FALSE(m_device.IsKeyDown(-5));   // reads key 0
  EXPECT_FALSE(m_device.IsKeyDown(300));  // reads key 255
  // Holding a key gives one press and no repeats. Without the foreground nothing is read; back
  // in front, keys released meanwhile read up.
  EXPECT_TRUE(Poll().empty());
  m_queue.SetForeground(false);
  m_queue.Key(0x1E, true, 0);
  EXPECT_TRUE(Poll().empty());
  m_queue.SetForeground(true);
  EXPECT_TRUE(Poll().empty());
  EXPECT_FALSE(m_device.IsKeyDown(base::key::Enter));
  EXPECT_FALSE(m_device.IsKeyDown('A'));
}

// With text input on, a press carries what the layout typed: "y" on the key the German table
// calls 'Z', a dead key nothing and the next press the composed letter; a character typed without
// a key of its own is a press of no key; a held key's repeat and its text are dropped; releases
// carry nothing. The characters answer GetUnicodeChar and GetChar; without text input the German
// table does.
TEST_F(InputDevice, TypedTextRidesOnItsPressAndAnswersForTheCharacter) {
  m_queue.SetTextInput(true);
  m_queue.Key(0x15, true, 1);  // the key right of T
  m_queue.Text(U"y", 1);
  m_queue.Key(0x15, false, 2);
  m_queue.Key(0x1A, true, 3);  // a dead circumflex: no text
  m_queue.Key(0x12, true, 4);
  m_queue.Text(U"\u00EA", 4);  // ê
  m_queue.KeyRepeat();
  m_queue.Text(U"\u00EA", 5);  // the repeat's text
  m_queue.Text(U"\u4E2D", 6);  // from an input method
  std::vector<base::ICMD> cmds = Poll();
  ASSERT_EQ(cmds.size(), 5u);
  EXPECT_EQ(cmds[0].key, 'Z');
  EXPECT_TRUE(cmds[0].typed);
  EXPECT_EQ(cmds[0].GetUnicodeChar(), u'y');
  EXPECT_EQ(cmds[0].GetChar(), 'y');
  EXPECT_FALSE(cmds[1].typed);  // a release
  EXPECT_EQ(cmds[2].GetUnicodeChar(), 0);
  EXPECT_EQ(cmds[3].GetUnicodeChar(), u'\u00EA');
  EXPECT_EQ(static_cast<uint8_t>(cmds[3].GetChar()), 0xEA);
  EXPECT_EQ(cmds[4].type, cl_DX9InputDevice::KEY_DOWN);
  EXPECT_EQ(cmds[4].key, 0);
  EXPECT_EQ(cmds[4].scan, 0);
  EXPECT_EQ(cmds[4].GetUnicodeChar(), u'\u4E2D');
  EXPECT_EQ(cmds[4].GetChar(), 0);  // not a Latin-1 character

  m_queue.SetTextInput(false);
  m_queue.Key(0x15, true, 7);
  cmds = Poll();
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_FALSE(cmds[0].typed);
  EXPECT_EQ(cmds[0].GetUnicodeChar(), u'z');
}

// SDL's dummy video driver for the life of a test, and only that test (programs the tests start
// must find the real one).
struct DummyVideo {
  DummyVideo() { setenv("SDL_VIDEODRIVER", "dummy", 1); }
  ~DummyVideo() { unsetenv("SDL_VIDEODRIVER"); }
};

TEST(SdlInput, PushedEventsBecomeCommandsAndMessages) {
  DummyVideo dummy;
  Queue queue;
  platform::input::MessagePump pump(&queue, true);
  if (!pump.UsesSdl()) GTEST_SKIP() << "SDL's dummy video driver is not available";
  cl_DX9InputDevice device(&queue);
  ASSERT_TRUE(device.StartUp());

  auto key = [](SDL_Scancode code, bool down, int repeat = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = code;
    e.key.repeat = static_cast<Uint8>(repeat);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
  };
  auto button = [](Uint8 b, bool down, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = b;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  };
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 100;
  motion.motion.y = 50;
  motion.motion.xrel = 5;
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.y = 1;

  key(SDL_SCANCODE_LSHIFT, true);
  key(SDL_SCANCODE_Z, true);      // the key labelled Z on a US board: 'Y'
  key(SDL_SCANCODE_Z, true, 1);   // a repeat: dropped
  SDL_PushEvent(&motion);
  button(SDL_BUTTON_LEFT, true, 100, 50);
  SDL_PushEvent(&close);
  button(SDL_BUTTON_RIGHT, false, 101, 52);
  key(SDL_SCANCODE_Z, false);
  key(SDL_SCANCODE_KP_3, true);
  SDL_PushEvent(&wheel);

  ASSERT_TRUE(pump.Peek());
  EXPECT_EQ(pump.Get(), platform::input::Message::Close);
  EXPECT_FALSE(pump.Peek());

  device.Update(0, 0);
  struct st_Expect {
    uint8_t type, key, scan;
    uint16_t modifiers;
  };
  const st_Expect expected[] = {
      {0, 203, 0x2A, 1}, {0, 'Y', 0x2C, 1}, {2, 0, 0, 0}, {3, 0, 0, 0}, {6, 0, 0, 0}, {1, 'Y', 0x2C, 1},
      {0, 163, 0x51, 1}, {11, 0, 0, 0},
  };
  std::vector<base::ICMD> cmds;
  base::ICMD cmd;
  while (device.PopCommand(cmd)) cmds.push_back(cmd);
  ASSERT_EQ(cmds.size(), std::size(expected));
  for (size_t i = 0; i < cmds.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cmds[i].type, expected[i].type);
    EXPECT_EQ(cmds[i].key, expected[i].key);
    EXPECT_EQ(cmds[i].scan, expected[i].scan);
    if (cmds[i].type <= 1) {
      EXPECT_EQ(cmds[i].modifiers, expected[i].modifiers);
    }
    // The motion and the press where they happened; the rest where the last button event was.
    const bool early = i == 2 || i == 3;
    EXPECT_EQ(cmds[i].mouseX, early ? 100 : 101);
    EXPECT_EQ(cmds[i].mouseY, early ? 50 : 52);
  }
  EXPECT_EQ(int16_t(cmds[2].extra[0]), 10);
  EXPECT_EQ(int16_t(cmds[7].extra[2]), 120);
  EXPECT_EQ(cmds[6].GetKey(), '3');

  // SDL's text input: the text event after a press is that press's character (UTF-8 decoded);
  // the text of a repeat goes with the repeat.
  EXPECT_TRUE(queue.HasTextInput());
  auto text = [](const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
    SDL_PushEvent(&e);
  };
  key(SDL_SCANCODE_Y, true);
  text("y");
  key(SDL_SCANCODE_Y, true, 1);
  text("y");
  key(SDL_SCANCODE_Y, false);
  key(SDL_SCANCODE_2, true);
  text("\xC3\xA9");  // é, where a French layout has it
  pump.Peek();
  device.Update(0, 0);
  cmds.clear();
  while (device.PopCommand(cmd)) cmds.push_back(cmd);
  ASSERT_EQ(cmds.size(), 3u);
  EXPECT_EQ(cmds[0].GetUnicodeChar(), u'y');
  EXPECT_EQ(cmds[1].type, cl_DX9InputDevice::KEY_UP);
  EXPECT_EQ(cmds[2].key, '2');
  EXPECT_EQ(cmds[2].GetUnicodeChar(), u'\u00E9');
}

}  // namespace
