// Pictures as the resampler sees them: an abstract row reader and writer with a window (Pic), and
// its float RGBA form over a FloatImage (CFloat), which also applies and removes a gamma.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

// Marks an undefined window or an undefined choice.
constexpr i32 kUndefined = -239;

// Picture kinds; the point sampler picks its row type by them.
enum en_PicKind : u32 { PIC_BYTES = 1, PIC_FLOAT = 2 };

class Pic {
 public:
  explicit Pic(u32 kind) : m_kind(kind) {}
  virtual ~Pic() = default;
  Pic(const Pic&) = delete;
  Pic& operator=(const Pic&) = delete;

  u32 Kind() const { return m_kind; }

  // Opens for reading when `mode` begins with 'r', else for writing; 0 on success.
  virtual int Open(const char* name, const char* mode) = 0;
  virtual void Close() = 0;
  // Shown in trace lines; may be null.
  virtual const char* Name() const = 0;
  virtual void Clear(u8 grey) = 0;
  virtual void ClearColor(u8 r, u8 g, u8 b, u8 a) = 0;
  virtual void SetChannelCount(int) {}
  virtual int ChannelCount() const = 0;
  // The picture's window as x0, y0, nx, ny; all four kUndefined when it has none.
  virtual void GetBox(i32& x0, i32& y0, i32& nx, i32& ny) const = 0;
  virtual void SetBox(i32 x0, i32 y0, i32 nx, i32 ny) = 0;

  // Row access by element kind; a picture that lacks a form does nothing for it.
  virtual void WriteRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, const f32* /*values*/) {}
  virtual void WriteRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, const u8* /*values*/) {}
  virtual void WriteColorRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, const f32* /*rgba*/) {}
  virtual void WriteColorRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, const u8* /*rgba*/) {}
  virtual void ReadRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, u8* /*values*/) {}
  virtual void ReadColorRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, u8* /*rgba*/) {}
  virtual void ReadColorRow(i32 /*y*/, i32 /*x0*/, i32 /*count*/, f32* /*rgba*/) {}
  // The stored float RGBA pixels of a run when the picture holds them in memory in that form and
  // the run lies inside it, else null. Lets the resampler read rows without copying them.
  virtual const f32* ColorRowPointer(i32 /*y*/, i32 /*x0*/, i32 /*count*/) const { return nullptr; }

 private:
  u32 m_kind;
};

// Float RGBA picture. Read mode serves the pixels of a loaded image; write mode collects rows.
// Row operations touch only pixels inside the image; reads outside it give zeros.
class CFloat : public Pic {
 public:
  enum en_Mode : u32 { MODE_CLOSED = 0, MODE_READ = 1, MODE_WRITE = 2 };

  CFloat() : Pic(PIC_FLOAT) {}

  // Write mode over a width x height image.
  void OpenForWriting(u32 width, u32 height);
  // Read mode over a copy of `image`; a non-zero gamma g stores each channel as c^(1/g).
  void LoadForReading(const FloatImage& image, f32 gamma);
  // The pixels, or for a non-zero gamma g a buffer holding c^g of every channel.
  const FloatImage& Result(f32 gamma);
  // Frees the gamma buffer.
  void ReleaseGamma() { gamma_pixels.Free(); }

  u32 Mode() const { return mode; }
  FloatImage& Pixels() { return pixels; }

  int Open(const char* name, const char* mode_text) override;
  void Close() override;
  const char* Name() const override { return nullptr; }
  void Clear(u8 grey) override;
  void ClearColor(u8 r, u8 g, u8 b, u8 a) override;
  int ChannelCount() const override { return 4; }
  void GetBox(i32& x0, i32& y0, i32& nx, i32& ny) const override;
  void SetBox(i32 x0, i32 y0, i32 nx, i32 ny) override;

  void WriteRow(i32 y, i32 x0, i32 count, const f32* values) override;
  void WriteRow(i32 y, i32 x0, i32 count, const u8* values) override;
  void WriteColorRow(i32 y, i32 x0, i32 count, const f32* rgba) override;
  void WriteColorRow(i32 y, i32 x0, i32 count, const u8* rgba) override;
  using Pic::ReadColorRow;
  void ReadColorRow(i32 y, i32 x0, i32 count, f32* rgba) override;
  const f32* ColorRowPointer(i32 y, i32 x0, i32 count) const override;

 private:
  // Clips a run of `count` pixels from x0 on row y to the image; false when nothing is left.
  // `skip` is the number of leading pixels cut off.
  bool ClipRun(i32 y, i32& x0, i32& count, i32& skip) const;

  u32 mode = MODE_CLOSED;
  FloatImage pixels;
  FloatImage gamma_pixels;
  i32 box[4] = {kUndefined, kUndefined, kUndefined, kUndefined};
};

}  // namespace dds
