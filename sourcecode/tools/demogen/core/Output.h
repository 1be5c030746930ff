// demogen's output: every generated file goes through one cl_Output, which creates folders,
// writes the bytes and remembers the file for the manifest (the list deleted before the next
// run, so renamed or dropped assets do not linger).
#pragma once

#include <string>
#include <vector>

#include "base/Imaging.h"

namespace demogen {

class cl_Output {
 public:
  explicit cl_Output(std::string dataDir) : m_dataDir(std::move(dataDir)) {}

  // relative: a path under the data folder with '/' separators. False (with a message on stderr)
  // when the file cannot be written.
  bool WriteBytes(const std::string& relative, const void* data, size_t size);
  bool WriteText(const std::string& relative, const std::string& text);
  // Uncompressed TGA, 32 bits with alpha or 24 without, top row first.
  bool WriteTga(const std::string& relative, const base::cl_Bitmap32& image, bool alpha);
  // 24-bit BMP through the engine's own writer.
  bool WriteBmp(const std::string& relative, const base::cl_Bitmap24& image);

  const std::vector<std::string>& Written() const { return m_written; }
  std::string Full(const std::string& relative) const { return m_dataDir + "/" + relative; }

 private:
  bool Prepare(const std::string& relative);  // folders made, name recorded

  std::string m_dataDir;
  std::vector<std::string> m_written;
};

}  // namespace demogen
