// Files the engine replaces: a full disk, a failed write, two writers of one target and the
// leftovers of a killed run never cost the old file, and every failure is logged. A pipe or a
// device at the name is written through and never replaced; other special files are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/file/SafeFile.h"
#include "platform/os/Path.h"
#include "support/SpecialTargets.h"
#include "test_support.h"

namespace {

using testsupport::cl_FileSizeLimit;
using testsupport::LogCapture;
using testsupport::TempDir;

int Entries(const TempDir& dir) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) n += !e.path().empty();
  return n;
}

TEST(SafeFile, FullDiskKeepsTheOldFileAndSaysSo) {
  TempDir dir;
  const std::string big(100000, 'n');
  struct {
    const char* name;
    bool (*save)(const std::string& path, const std::string& bytes);
  } writers[] = {
      {"SaveFileSafely",
       [](const std::string& path, const std::string& bytes) {
         return base::SaveFileSafely(path.c_str(), bytes.data(), bytes.size());
       }},
      {"SaveFile",
       [](const std::string& path, const std::string& bytes) {
         return base::SaveFile(path.c_str(), reinterpret_cast<const unsigned char*>(bytes.data()),
                               int(bytes.size()));
       }},
      {"File",
       [](const std::string& path, const std::string& bytes) {
         base::File f(path.c_str(), base::File::STATUS_WRITE);
         const int half = int(bytes.size()) / 2;  // the failure may show only at the flush
         f.write(bytes.data(), half);
         f.write(bytes.data() + half, int(bytes.size()) - half);
         return f.close();
       }},
  };
  for (const auto& w : writers) {
    SCOPED_TRACE(w.name);
    dir.write("shot.png", "old picture");
    LogCapture log;
    {
      cl_FileSizeLimit limit(4096);
      EXPECT_FALSE(w.save(dir.path("shot.png"), big));
    }
    EXPECT_EQ(dir.read("shot.png"), "old picture");
    EXPECT_EQ(Entries(dir), 1) << "the temporary file is removed";
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_EQ(log.get()[0].rfind("ERROR: file '" + dir.path("shot.png") + "': not written", 0), 0u) << log.get()[0];
    EXPECT_EQ(log.get()[0].back(), '\n');

    ASSERT_TRUE(w.save(dir.path("shot.png"), "new picture"));
    EXPECT_EQ(dir.read("shot.png"), "new picture");
  }
}

TEST(SafeFile, TwoWritersOfOneTargetAndLeftoversOfAKilledRun) {
  TempDir dir;
  // What a run killed before its rename left behind, under the name scheme of the writer.
  dir.write("config.xml.tmpAAAAAA", "half");
  dir.write("config.xml", "old");
  base::cl_SafeFile first, second;
  ASSERT_TRUE(first.begin(dir.path("config.xml").c_str()));
  ASSERT_TRUE(second.begin(dir.path("config.xml").c_str()));
  EXPECT_TRUE(first.write("first writer", 12));
  EXPECT_TRUE(second.write("second", 6));
  EXPECT_EQ(Entries(dir), 4);  // two temporary files of their own
  EXPECT_TRUE(first.commit());
  EXPECT_EQ(dir.read("config.xml"), "first writer");
  EXPECT_TRUE(second.commit());
  EXPECT_EQ(dir.read("config.xml"), "second");
  EXPECT_EQ(dir.read("config.xml.tmpAAAAAA"), "half");
  EXPECT_EQ(Entries(dir), 2);

  // A write abandoned (or a writer destroyed without commit) leaves the target alone.
  {
    base::cl_SafeFile third;
    ASSERT_TRUE(third.begin(dir.path("config.xml").c_str()));
    third.write("never", 5);
  }
  EXPECT_EQ(dir.read("config.xml"), "second");
  EXPECT_EQ(Entries(dir), 2);

  // No folder to write into: logged with the cause.
  LogCapture log;
  base::cl_SafeFile nowhere;
  EXPECT_FALSE(nowhere.begin(dir.path("missing/config.xml").c_str()));
  EXPECT_FALSE(nowhere.write("x", 1));
  EXPECT_FALSE(nowhere.commit());
  ASSERT_FALSE(log.get().empty());
  EXPECT_TRUE(log.contains("cannot create a temporary file beside it (No such file or directory)\n"));
}

// What a shell's ">" would write through is written through (the reader gets the bytes, the
// device takes or refuses them), what it could not is refused with a line; none is replaced.
TEST(SafeFile, APipeOrDeviceAtTheNameIsWrittenThroughAndNothingSpecialIsReplaced) {
  TempDir dir;
  LogCapture log;
  const std::string picture = "\x89PNG picture";
  auto save = [&](const std::string& name) {
    return base::SaveFileSafely(dir.path(name).c_str(), picture.data(), picture.size());
  };

  testsupport::cl_PipeReader reader(dir.path("read.png"));
  ASSERT_TRUE(reader.IsOpen());
  EXPECT_TRUE(save("read.png")) << log.text();
  EXPECT_EQ(reader.Stop(), picture);

  ASSERT_EQ(mkfifo(dir.path("unread.png").c_str(), 0644), 0);
  EXPECT_FALSE(save("unread.png"));
  EXPECT_TRUE(
      log.contains("ERROR: file '" + dir.path("unread.png") + "': not written: it is a named pipe nobody reads\n"))
      << log.text();

  std::filesystem::create_directory(dir.path("folder.png"));
  EXPECT_FALSE(save("folder.png"));
  // A folder refuses the rename, in the system's words.
  EXPECT_TRUE(log.contains("ERROR: file '" + dir.path("folder.png") + "': cannot be put in place") &&
              log.contains(std::strerror(EISDIR)))
      << log.text();

  const int socket = testsupport::MakeSocket(dir.path("socket.png"));
  ASSERT_GE(socket, 0);
  EXPECT_FALSE(save("socket.png"));
  EXPECT_TRUE(log.contains("ERROR: file '" + dir.path("socket.png") + "': not written: it is a socket\n"))
      << log.text();
  close(socket);

  if (testsupport::MakeMemoryDevice(dir.path("null.png"), 3) &&
      testsupport::MakeMemoryDevice(dir.path("full.png"), 7)) {
    EXPECT_TRUE(save("null.png")) << log.text();
    EXPECT_FALSE(save("full.png"));
    EXPECT_TRUE(log.contains("ERROR: file '" + dir.path("full.png") + "': not written (No space left on device)\n"))
        << log.text();
  } else {
    std::printf("no device can be made here (%s): the device cases are left out\n", std::strerror(errno));
  }

  // A reader that goes away before the bytes reach it fails the write; the program lives on.
  testsupport::cl_PipeReader leaving(dir.path("leaving.png"));
  base::cl_SafeFile out;
  ASSERT_TRUE(out.begin(dir.path("leaving.png").c_str()));
  leaving.Stop();
  out.write(picture.data(), picture.size());
  EXPECT_FALSE(out.commit());
  EXPECT_TRUE(log.contains("ERROR: file '" + dir.path("leaving.png") + "': not written (Broken pipe)\n")) << log.text();

  for (const char* name : {"read.png", "unread.png", "leaving.png"})
    EXPECT_EQ(testsupport::EntryKind(dir.path(name)), "pipe") << name;
  EXPECT_EQ(testsupport::EntryKind(dir.path("folder.png")), "folder");
  EXPECT_EQ(testsupport::EntryKind(dir.path("socket.png")), "socket");
  EXPECT_EQ(Entries(dir), 4 + (testsupport::EntryKind(dir.path("null.png")) == "device" ? 2 : 0) + 1)
      << "no temporary file is left";
}

// A target whose name fits the folder but leaves no room for ".tmp" and six characters is
// written through a shorter temporary name of its own (two such targets alike at the start get
// different ones), whose leftover from a killed run is cleared as any other; a target whose name
// is too long itself is refused before anything is written, with the cause.
TEST(SafeFile, ANameTooLongForTheUsualTemporaryNameIsWrittenAndOneTooLongItselfIsRefused) {
  TempDir dir;
  const std::string longest(255, 'a');
  const std::string target = dir.path(longest.substr(0, 250) + ".dat"), twin = dir.path(longest.substr(0, 250) + ".bak");
  const std::string prefix = platform::os::TempPrefixBeside(target);
  EXPECT_LE(prefix.size() - dir.path().size() - 1 + 6, longest.size());
  EXPECT_NE(prefix, platform::os::TempPrefixBeside(twin));
  dir.write(prefix.substr(dir.path().size() + 1) + "AAAAAA", "half");  // a killed run's
  EXPECT_EQ(base::RemoveStaleTempFiles(target.c_str()), 1);
  EXPECT_TRUE(base::SaveFileSafely(target.c_str(), "scene", 5));
  EXPECT_EQ(dir.read(target.substr(dir.path().size() + 1)), "scene");
  EXPECT_EQ(Entries(dir), 1);

  LogCapture log;
  base::cl_SafeFile out;
  EXPECT_FALSE(out.begin(dir.path(longest + "b").c_str()));
  EXPECT_TRUE(log.contains("cannot be created: its name is 256 bytes long, the folder takes at most 255 (File name "
                           "too long)\n"))
      << log.text();
  EXPECT_EQ(Entries(dir), 1);
}

}  // namespace
