// Stream files that fail under a device's mix (SDL's dummy driver): the reads of the library go
// through a reader of the test's, which empties the file after a chosen read (as a program that
// writes the file anew does), holds the reads of chosen files until the test lets them go (a
// stalled disk), or keeps them working on the processor (a slow machine). The game's frames, the
// update thread's step and the other streams go on meanwhile, and a stream that cannot be read
// ends with one line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "../audio/SoundMaker.h"
#include "../base/test_support.h"
#include "platform/audio/Decoder.h"
#include "platform/audio/SoundLibrary.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"
#include "support/ThreadCount.h"
#include "support/TimeScale.h"

namespace soundtest {
namespace {

namespace pa = platform::audio;
using testsupport::WaitUntil;

// What the test's reader does with the library's file reads.
struct st_Reads {
  std::mutex lock;
  std::condition_variable changed;
  std::string file;    // the reads of this file are counted (a stream closing may still read its own)
  int count = 0;       // reads of it made
  int emptyAfter = 0;  // it is emptied right after this read (0: never)
  std::set<std::string> holds;  // the reads of these files wait until the test lets them go
  int held = 0;                 // reads waiting now
  std::string spun;             // the reads of this file work on the processor while spin holds
  std::atomic<bool> spin{false};
  std::atomic<int> spunReads{0};
};
st_Reads g_reads;

std::string NameOf(std::FILE* file) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fileno(file)), error).string();
}

size_t TestReader(void* out, size_t n, std::FILE* file) {
  const std::string name = NameOf(file);
  std::unique_lock<std::mutex> lock(g_reads.lock);
  if (g_reads.holds.count(name)) {
    ++g_reads.held;
    g_reads.changed.notify_all();
    g_reads.changed.wait(lock, [&] { return !g_reads.holds.count(name); });
    --g_reads.held;
  }
  const bool spins = name == g_reads.spun && g_reads.spin;
  lock.unlock();
  if (spins) ++g_reads.spunReads;
  while (spins && g_reads.spin) {  // on the processor all the while, never asleep
  }
  const size_t got = std::fread(out, 1, n, file);
  lock.lock();
  if (name == g_reads.file && ++g_reads.count == g_reads.emptyAfter && truncate(name.c_str(), 0) != 0)
    ADD_FAILURE() << "the file was not emptied";
  return got;
}

class StreamFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    {
      std::lock_guard<std::mutex> lock(g_reads.lock);
      g_reads.file.clear();
      g_reads.count = g_reads.emptyAfter = g_reads.held = g_reads.spunReads = 0;
      g_reads.holds.clear();
      g_reads.spun.clear();
    }
    pa::SetFileReader(TestReader);
    m_ogg = audiotest::MakeOgg(22050, 1, audiotest::Sine(22050, 1, 1.0, 441.0, 0.5));
    m_sound = std::make_unique<sfx::cl_FModSoundSystem>();
    ASSERT_TRUE(m_sound->StartUp());
    sfx::st_ChannelParams params;
    m_sound->AddChannel("MUSIC", &params);
  }
  void TearDown() override {
    Release();
    m_sound.reset();
    pa::SetFileReader(nullptr);
    ::unsetenv("SDL_AUDIODRIVER");
  }

  // The music file name, whose reads the reader counts from now on.
  std::string WriteMusic(const std::string& name, int emptyAfter = 0) {
    m_dir.write(name, std::string(m_ogg.begin(), m_ogg.end()));
    std::lock_guard<std::mutex> lock(g_reads.lock);
    g_reads.file = std::filesystem::canonical(m_dir.path(name)).string();
    g_reads.count = 0;
    g_reads.emptyAfter = emptyAfter;
    return m_dir.path(name);
  }
  bool PlayStream(const std::string& file, const char* name) {
    return m_sound->PlaySample(sfx::PLAY_STREAM, file.c_str(), name, "MUSIC", nullptr, 0) >= 0.0f;
  }
  // The game's frame and the update thread's step, as the game runs them.
  void Frame() {
    m_sound->Update(0.02f);
    m_sound->UpdateLibrary();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Frames until done holds (false when a guard against a hang ran out first); the frames pace
  // the wait.
  template <class Done>
  bool FramesUntil(Done&& done, testsupport::st_Where where = {}) {
    return WaitUntil([&] { return Frame(), done(); }, 30000, 0, where);
  }
  // The reads of file wait from now on.
  void Hold(const std::string& file) {
    std::lock_guard<std::mutex> lock(g_reads.lock);
    g_reads.holds.insert(std::filesystem::canonical(file).string());
  }
  // Waits until count reads wait (false when a guard against a hang ran out first).
  bool ReadsHeld(int count, testsupport::st_Where where = {}) {
    return WaitUntil([&] { return Held() >= count; }, 30000, 1, where);
  }
  int Held() {
    std::lock_guard<std::mutex> lock(g_reads.lock);
    return g_reads.held;
  }
  // The game's frames without the update thread's step (which the test keeps from running by
  // holding the sound lock, so that no stream is given up meanwhile), until done holds.
  template <class Done>
  bool GameFramesUntil(Done&& done, testsupport::st_Where where = {}) {
    return WaitUntil([&] { return m_sound->Update(0.02f), done(); }, 30000, 10, where);
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(g_reads.lock);
      g_reads.holds.clear();
    }
    g_reads.changed.notify_all();
    g_reads.spin = false;
  }
  // The reads of file work on the processor from now on, until Release.
  void Spin(const std::string& file) {
    std::lock_guard<std::mutex> lock(g_reads.lock);
    g_reads.spun = std::filesystem::canonical(file).string();
    g_reads.spin = true;
  }
  int Reads() {
    std::lock_guard<std::mutex> lock(g_reads.lock);
    return g_reads.count;
  }

  testsupport::TempDir m_dir;
  testsupport::LogCapture m_log;
  std::vector<uint8_t> m_ogg;
  std::unique_ptr<sfx::cl_FModSoundSystem> m_sound;
};

// Emptied after any of the reads a whole play makes (in the header checks, in the decoder's
// search for the last page, while decoding), the stream is refused or ends early, with one line
// naming the file and the cause, and never hangs a thread: the frames go on, and the library
// closes at the end.
TEST_F(StreamFiles, AFileEmptiedAfterAnyReadEndsItsStreamWithOneLineAndTheFramesGoOn) {
  ASSERT_TRUE(PlayStream(WriteMusic("whole.ogg"), "m"));
  ASSERT_TRUE(FramesUntil([&] { return !m_sound->IsPlaying("m"); }));
  const int reads = Reads();
  ASSERT_GT(reads, 3);
  EXPECT_FALSE(m_log.contains("ERROR:")) << m_log.text();
  for (int cut = 1; cut < reads; ++cut) {
    const std::string name = "cut" + std::to_string(cut) + ".ogg";
    const std::string file = WriteMusic(name, cut);
    ASSERT_TRUE(PlayStream(file, "m"));
    ASSERT_TRUE(FramesUntil([&] { return !m_sound->IsPlaying("m"); }))
        << "the stream of a file emptied after read " << cut << " never ended";
    // The line comes with the update after the stream ended.
    ASSERT_TRUE(FramesUntil([&] { return m_log.count(name) > 0; }))
        << "emptied after read " << cut << ": no line\n" << m_log.text();
    EXPECT_EQ(m_log.count("ERROR: sound stream '" + file + "': "), 1) << m_log.text();
    EXPECT_EQ(m_log.count(name), 1) << m_log.text();
  }
  EXPECT_EQ(m_log.count("changed while it was read"), reads - 1) << m_log.text();
}

// Every read of the file waits until the test lets it go: meanwhile the frames and the update
// thread's step go on, and a new sound of the same name stops and closes the stream at once (as a
// scene's new tune does). Let go, the reads end and the new sound plays.
TEST_F(StreamFiles, AStreamWhoseReadsHangHoldsUpNeitherTheFramesNorItsStopAndClose) {
  const std::string stalled = WriteMusic("stalled.ogg"), next = WriteMusic("next.ogg");
  Hold(stalled);
  ASSERT_TRUE(PlayStream(stalled, "m"));
  ASSERT_TRUE(ReadsHeld(1));
  // The frames run on a thread of their own, so that one waiting for the file fails the test
  // instead of hanging it.
  std::atomic<int> frames{0};
  std::atomic<bool> done{false};
  std::thread game([&] {
    for (; frames < 20; ++frames) Frame();
    PlayStream(next, "m");
    for (; frames < 25; ++frames) Frame();
    done = true;
  });
  const bool ran = WaitUntil([&] { return done.load(); }, 30000);
  const int framesRun = frames;
  const int held = Held();
  Release();
  game.join();
  EXPECT_TRUE(ran) << "the frames stopped at frame " << framesRun << " while a read of the file waited";
  EXPECT_EQ(held, 1) << "the read was let go before the frames went on";
  ASSERT_TRUE(FramesUntil([&] { return m_sound->GetSoundSlot("m") >= 0; }));
  EXPECT_EQ(m_sound->GetLibrary().LiveStreams(), 1);
  EXPECT_FALSE(m_log.contains("ERROR:")) << m_log.text();
}

// A music file whose reads never return (a hung network disk) holds up no other stream: while the
// game holds the sound lock, so that no update step can give the stalled stream up, another file's
// stream opens and plays. After the guard the stalled one is given up and named once, however
// often its list tries the file again meanwhile; once the file answers, the list plays it.
TEST_F(StreamFiles, AFileThatNeverAnswersHoldsUpNoOtherStreamAndIsNamedOnceWhenGivenUp) {
  const std::string stalled = WriteMusic("stalled.ogg"), other = WriteMusic("other.ogg");
  sfx::st_ChannelParams channel;
  m_sound->AddChannel("AMBIENT", &channel);
  Hold(stalled);
  {
    std::lock_guard<std::recursive_mutex> hold(m_sound->GetLock());
    ASSERT_TRUE(sfx::AddStreamToPlaylist(sfx::PLAY_STREAM, stalled.c_str(), "MUSIC", 1.0f));
    ASSERT_TRUE(GameFramesUntil([&] { return Held() > 0; }));
    sfx::st_PlayParams loop;
    loop.loop = true;
    ASSERT_GE(m_sound->PlaySample(sfx::PLAY_STREAM, other.c_str(), "other", "AMBIENT", &loop, 0), 0.0f);
    EXPECT_TRUE(GameFramesUntil([&] { return m_sound->GetPlayPosition("other") > 0.0f; }))
        << "another stream waited for the file that does not answer";
    EXPECT_TRUE(sfx::IsSoundPlaying("Playlist_MUSIC"));  // still opening: nothing gave it up
  }
  const std::string line = "Warning: sound stream '" + stalled + "' has not answered for 2 s; it is given up";
  ASSERT_TRUE(FramesUntil([&] { return m_log.contains(line); })) << m_log.text();
  for (int i = 0; i < 100; ++i) Frame();  // two seconds of play: the list tries the file at every check
  EXPECT_EQ(m_log.count(stalled), 1) << m_log.text();
  EXPECT_TRUE(m_sound->IsPlaying("other"));
  Release();
  EXPECT_TRUE(FramesUntil([&] { return m_sound->GetSoundSlot("Playlist_MUSIC") >= 0; }))
      << "the list did not play the file once it answered";
  EXPECT_EQ(m_log.count(stalled), 1) << m_log.text();
  EXPECT_FALSE(m_log.contains("ERROR:")) << m_log.text();
}

// Two playing streams whose files stop answering (their reads wait until the test lets them go,
// slower than any ring lasts) keep no other stream from being decoded: while no update step can
// give them up, a third stream with a tenth of a second of ring plays on for a second. Given up
// after the guard, each ends once what was decoded of it has been played, and is named once.
TEST_F(StreamFiles, StreamsWhoseFilesStopAnsweringKeepNoOtherStreamFromItsFrames) {
  const std::string slow[] = {WriteMusic("slow1.ogg"), WriteMusic("slow2.ogg")};
  const std::string other = WriteMusic("other.ogg");
  const char* names[] = {"slow1", "slow2"};
  sfx::st_PlayParams loop;
  loop.loop = true;
  for (int i = 0; i < 2; ++i)
    ASSERT_GE(m_sound->PlaySample(sfx::PLAY_STREAM, slow[i].c_str(), names[i], "MUSIC", &loop, 0), 0.0f);
  ASSERT_TRUE(
      FramesUntil([&] { return m_sound->GetSoundSlot(names[0]) >= 0 && m_sound->GetSoundSlot(names[1]) >= 0; }));
  {
    std::lock_guard<std::recursive_mutex> hold(m_sound->GetLock());
    for (const std::string& file : slow) Hold(file);
    ASSERT_TRUE(ReadsHeld(2)) << "the two files' reads did not wait side by side";  // each loop reads again
    ASSERT_TRUE(m_sound->GetLibrary().SetStreamBufferMs(100));
    ASSERT_GE(m_sound->PlaySample(sfx::PLAY_STREAM, other.c_str(), "other", "MUSIC", &loop, 0), 0.0f);
    ASSERT_TRUE(GameFramesUntil([&] { return m_sound->GetPlayPosition("other") > 0.0f; }));
    const float start = m_sound->GetPlayPosition("other");
    EXPECT_TRUE(GameFramesUntil([&] { return m_sound->GetPlayPosition("other") >= start + 1.0f; }))
        << "the stream stood at " << m_sound->GetPlayPosition("other") - start << " s of 1 s";
  }
  ASSERT_TRUE(FramesUntil([&] { return !m_sound->IsPlaying(names[0]) && !m_sound->IsPlaying(names[1]); }));
  for (const std::string& file : slow)
    EXPECT_EQ(m_log.count("'" + file + "' has not answered for 2 s"), 1) << m_log.text();
  EXPECT_TRUE(m_sound->IsPlaying("other"));
}

// A read that works on the processor for longer than the guard (as a busy machine that gives the
// stream's thread a few per cent of a processor can make one) while the update steps look on is
// slow, not stalled: the stream is not given up, no line names it, and it plays on afterwards.
TEST_F(StreamFiles, AStreamWhoseReadIsSlowButWorkingIsNeverGivenUp) {
  const std::string slow = WriteMusic("slow.ogg");
  sfx::st_PlayParams loop;
  loop.loop = true;
  ASSERT_GE(m_sound->PlaySample(sfx::PLAY_STREAM, slow.c_str(), "m", "MUSIC", &loop, 0), 0.0f);
  ASSERT_TRUE(FramesUntil([&] { return m_sound->GetPlayPosition("m") > 0.0f; }));
  Spin(slow);
  ASSERT_TRUE(FramesUntil([&] { return g_reads.spunReads > 0; }));  // each loop reads again
  // How long the read works, not a judge of the result: past the guard by a second of looks.
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(pa::StreamThreads::kStallGuardMs + 1000);
  ASSERT_TRUE(FramesUntil([&] { return std::chrono::steady_clock::now() >= until; }));
  Release();
  ASSERT_FALSE(m_log.contains("has not answered")) << m_log.text();
  const float at = m_sound->GetPlayPosition("m");
  EXPECT_TRUE(FramesUntil([&] { return m_sound->GetPlayPosition("m") >= at + 1.5f; }))
      << "the stream stood at " << m_sound->GetPlayPosition("m") - at << " s of 1.5 s\n"
      << m_log.text();
}

// A read that never returns (a hung network disk) holds up the opening of its stream, but not the
// library's Close, so the program still ends on quit. The stream thread let go ends once its read
// returns.
TEST_F(StreamFiles, TheLibraryClosesWhileAStreamsOpenWaitsForAReadThatNeverReturns) {
  const std::string stalled = WriteMusic("stalled.ogg");
  m_sound.reset();  // the library alone, so that the threads counted are its own
  const int threads = testsupport::SettledThreadCount();
  Hold(stalled);
  pa::SoundLibrary library;
  ASSERT_TRUE(library.Init(44100, 8, 0));
  ASSERT_NE(library.OpenStream(stalled.c_str(), pa::mode::NonBlocking), pa::StreamId::None);
  ASSERT_TRUE(ReadsHeld(1));
  std::atomic<bool> closed{false};
  std::thread quit([&] {
    library.Close();
    closed = true;
  });
  const bool returned = WaitUntil([&] { return closed.load(); }, 30000);
  Release();
  quit.join();
  EXPECT_TRUE(returned) << "Close waited for a read of the stream's file";
  EXPECT_EQ(testsupport::ThreadCountReaching(threads), threads) << "the stream thread let go did not end";
}

}  // namespace
}  // namespace soundtest
