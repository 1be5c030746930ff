// Helpers of the resource, archive and text tests: a scratch tree that is the working folder
// while the test runs (the engine's data paths are relative to it), and a small resource kind.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/resource/Resource.h"
#include "test_support.h"

namespace testsupport {

class WorkTree : public TempDir {
 public:
  WorkTree() : m_old(std::filesystem::current_path()) { std::filesystem::current_path(path()); }
  ~WorkTree() { std::filesystem::current_path(m_old); }

 private:
  std::filesystem::path m_old;
};

// A resource holding the bytes of its "file"; Init fails when the file is missing.
class cl_Blob : public base::i_Resource {
 public:
  static int s_inits;
  static int s_reads;
  static int s_live;
  cl_Blob() { ++s_live; }
  ~cl_Blob() override { --s_live; }
  bool Init(base::StaticVariantIterator element) override {
    ++s_inits;
    base::String file;
    if (!base::GetAttributeText(element, "file", file)) return false;
    int size = 0;
    unsigned char* data = base::LoadFile(file.c_str(), size);
    if (!data) return false;
    m_bytes = reinterpret_cast<char*>(data);
    delete[] data;
    return true;
  }
  void Read(base::File* file) override {
    ++s_reads;
    m_bytes.Read(file);
  }
  void Write(base::File* file) override { m_bytes.Write(file); }

  base::String m_bytes;
};

}  // namespace testsupport
