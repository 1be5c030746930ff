// A named-parameter effect over GLSL programs: techniques, passes and parameters set by name,
// the way the engine drives its skinned-model shader. The effect text format is described at
// the top of data/Shader/Skinning.fx.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/gpu/Device.h"

namespace gpux {

class Effect {
 public:
  // Reads and compiles an effect file; on failure `errors` receives the reason.
  static gpu::Result CreateFromFile(gpu::Device* device, const char* path, Effect** out, std::string* errors);
  static gpu::Result CreateFromMemory(gpu::Device* device, const char* text, size_t size, Effect** out,
                                      std::string* errors);

  uint32_t AddRef() { return ++refs_; }
  uint32_t Release();

  // Selects a technique by name; kErrInvalidCall for an unknown one.
  gpu::Result SetTechnique(const char* name);
  const std::vector<std::string>& Techniques() const { return names_; }

  // Parameter setters keep the value until changed; values reach the program at BeginPass.
  gpu::Result SetInt(const char* name, int32_t value);
  gpu::Result SetFloat(const char* name, float value);
  gpu::Result SetFloatArray(const char* name, const float* values, uint32_t count);
  gpu::Result SetVectorArray(const char* name, const float* xyzw, uint32_t count);
  gpu::Result SetMatrix(const char* name, const gpu::Matrix& matrix);
  gpu::Result SetMatrixArray(const char* name, const gpu::Matrix* matrices, uint32_t count);
  gpu::Result SetTexture(const char* name, gpu::Texture* texture);  // keeps a reference

  // One pass per technique. BeginPass sets the program on the device; End clears it.
  gpu::Result Begin(uint32_t* passes, uint32_t flags);
  gpu::Result BeginPass(uint32_t pass);
  gpu::Result EndPass();
  gpu::Result End();
  // Nothing lives in lost video memory; kept for the engine's reset protocol.
  gpu::Result OnLostDevice() { return gpu::kOk; }
  gpu::Result OnResetDevice() { return gpu::kOk; }

 private:
  Effect(gpu::Device* device) : device_(device) {}
  ~Effect();
  gpu::Result Store(const char* name, const float* values, uint32_t count);

  gpu::Device* device_;
  uint32_t refs_ = 1;
  std::vector<std::string> names_;
  std::vector<gpu::Program*> programs_;
  int current_ = 0;
  bool begun_ = false;
  std::map<std::string, std::vector<float>> values_;
  std::map<std::string, gpu::Texture*> textures_;
};

}  // namespace gpux
