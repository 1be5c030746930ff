#include "core/Output.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace demogen {

bool cl_Output::Prepare(const std::string& relative) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(Full(relative)).parent_path(), ec);
  if (ec) {
    std::fprintf(stderr, "demogen: cannot create the folder of %s: %s\n", relative.c_str(), ec.message().c_str());
    return false;
  }
  m_written.push_back(relative);
  return true;
}

bool cl_Output::WriteBytes(const std::string& relative, const void* data, size_t size) {
  if (!Prepare(relative)) return false;
  std::ofstream out(Full(relative), std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::fprintf(stderr, "demogen: cannot write %s\n", Full(relative).c_str());
    return false;
  }
  return true;
}

bool cl_Output::WriteText(const std::string& relative, const std::string& text) {
  return WriteBytes(relative, text.data(), text.size());
}

bool cl_Output::WriteTga(const std::string& relative, const base::cl_Bitmap32& image, bool alpha) {
  const int w = image.Width(), h = image.Height();
  const int bytesPerPixel = alpha ? 4 : 3;
  std::vector<unsigned char> file(18, 0);
  file[2] = 2;  // uncompressed true colour
  file[12] = static_cast<unsigned char>(w), file[13] = static_cast<unsigned char>(w >> 8);
  file[14] = static_cast<unsigned char>(h), file[15] = static_cast<unsigned char>(h >> 8);
  file[16] = static_cast<unsigned char>(bytesPerPixel * 8);
  file[17] = static_cast<unsigned char>((alpha ? 8 : 0) | 0x20);  // alpha bits; top row first
  file.reserve(file.size() + static_cast<size_t>(w * h * bytesPerPixel));
  for (int i = 0; i < w * h; ++i) {
    const base::Color32& c = image.GetPixels()[i];
    file.push_back(c.b), file.push_back(c.g), file.push_back(c.r);
    if (alpha) file.push_back(c.a);
  }
  return WriteBytes(relative, file.data(), file.size());
}

bool cl_Output::WriteBmp(const std::string& relative, const base::cl_Bitmap24& image) {
  if (!Prepare(relative)) return false;
  base::cl_Bitmap24 copy = image;
  if (!copy.SaveBMP(Full(relative).c_str())) {
    std::fprintf(stderr, "demogen: cannot write %s\n", Full(relative).c_str());
    return false;
  }
  return true;
}

}  // namespace demogen
