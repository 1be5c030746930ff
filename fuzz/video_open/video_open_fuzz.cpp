// Clips from anywhere: the bytes go through an in-memory reader into the video library's open,
// then up to ten frames are decoded into registered plane buffers. Bad data must be refused or
// end the clip cleanly, with nothing written past the buffers the sizes promise.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/video/Video.h"

namespace pv = platform::video;

namespace {

struct st_Memory {
  const uint8_t* data;
  size_t size, at;
};

int Read(void* opaque, uint8_t* buffer, int size) {
  auto* m = static_cast<st_Memory*>(opaque);
  const size_t n = std::min(static_cast<size_t>(size), m->size - m->at);
  std::memcpy(buffer, m->data + m->at, n);
  m->at += n;
  return static_cast<int>(n);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
  auto* m = static_cast<st_Memory*>(opaque);
  if (whence == 0x10000) return static_cast<int64_t>(m->size);
  const int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(m->at) : whence == SEEK_END ? static_cast<int64_t>(m->size) : 0;
  const int64_t to = base + offset;
  if (to < 0 || to > static_cast<int64_t>(m->size)) return -1;
  m->at = static_cast<size_t>(to);
  return to;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t{1} << 18)) return 0;
  st_Memory memory{data, size, 0};
  pv::st_ByteReader reader;
  reader.opaque = &memory;
  reader.read = Read;
  reader.seek = Seek;
  pv::st_VideoHandle* handle = pv::OpenReader(reader);
  if (!handle) return 0;
  pv::st_FrameBuffersInfo info;
  pv::GetFrameBuffersInfo(handle, &info);
  // Keep the work bounded: huge pictures are opened but not decoded.
  if (static_cast<uint64_t>(info.yaWidth) * info.yaHeight <= 1024 * 1024) {
    std::vector<uint8_t> planes[pv::kPlaneCount];
    for (int p = 0; p < pv::kPlaneCount; ++p) {
      if (!info.sets[0][p].wanted) continue;
      const bool chroma = p == pv::kPlaneCr || p == pv::kPlaneCb;
      const uint32_t w = chroma ? info.chromaWidth : info.yaWidth, h = chroma ? info.chromaHeight : info.yaHeight;
      planes[p].resize(static_cast<size_t>(w) * h);
      info.sets[0][p].memory = planes[p].data();
      info.sets[0][p].pitch = static_cast<int32_t>(w);
    }
    pv::RegisterFrameBuffers(handle, &info);
    for (int i = 0; i < 10 && handle->FrameNum < handle->Frames; ++i) {
      pv::DoFrame(handle);
      pv::NextFrame(handle);
    }
  }
  pv::Close(handle);
  return 0;
}
