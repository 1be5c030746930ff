#include "platform/gpux/Effect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gpu/Log.h"

namespace gpux {

using gpu::Result;

Result Effect::CreateFromFile(gpu::Device* device, const char* path, Effect** out, std::string* errors) {
  if (!path || !out) return gpu::kErrInvalidCall;
  *out = nullptr;
  std::string name(path);
  std::replace(name.begin(), name.end(), '\\', '/');
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (!file) {
    if (errors) *errors = "cannot open effect file '" + name + "'";
    return gpu::kErrNotAvailable;
  }
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return CreateFromMemory(device, text.data(), text.size(), out, errors);
}

Result Effect::CreateFromMemory(gpu::Device* device, const char* data, size_t size, Effect** out,
                                std::string* errors) {
  if (!device || !data || !out) return gpu::kErrInvalidCall;
  *out = nullptr;
  // Split the text at its "//!" lines.
  std::string shared, vertex, fragment;
  std::string* section = &shared;
  std::vector<std::string> names;
  const std::string text(data, size);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.rfind("//!", 0) == 0) {
      char word[64] = {}, name[64] = {};
      std::sscanf(line.c_str() + 3, " %63s %63s", word, name);
      if (std::strcmp(word, "technique") == 0 && name[0]) names.emplace_back(name);
      else if (std::strcmp(word, "vertex") == 0) section = &vertex;
      else if (std::strcmp(word, "fragment") == 0) section = &fragment;
      *section += "\n";  // keep line numbers of compiler messages close
      continue;
    }
    *section += line + "\n";
  }
  if (names.empty() || vertex.empty() || fragment.empty()) {
    if (errors) *errors = "effect has no technique or lacks a vertex or fragment section";
    return gpu::kErrInvalidCall;
  }
  Effect* effect = new Effect(device);
  for (const std::string& name : names) {
    const std::string define = "#define TECHNIQUE_" + name + " 1\n";
    gpu::Program* program = nullptr;
    std::string log;
    const Result r = device->CreateProgram((define + shared + vertex).c_str(), (define + shared + fragment).c_str(),
                                           &program, &log);
    if (r != gpu::kOk) {
      if (errors) *errors = "technique " + name + ": " + log;
      effect->Release();
      return r;
    }
    effect->names_.push_back(name);
    effect->programs_.push_back(program);
  }
  *out = effect;
  return gpu::kOk;
}

Effect::~Effect() {
  if (begun_) device_->SetProgram(nullptr);
  for (gpu::Program* p : programs_) p->Release();
  for (auto& [name, texture] : textures_)
    if (texture) texture->Release();
}

uint32_t Effect::Release() {
  const uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

Result Effect::SetTechnique(const char* name) {
  for (size_t i = 0; name && i < names_.size(); ++i)
    if (names_[i] == name) {
      current_ = int(i);
      return gpu::kOk;
    }
  return gpu::kErrInvalidCall;
}

Result Effect::Store(const char* name, const float* values, uint32_t count) {
  if (!name || (!values && count)) return gpu::kErrInvalidCall;
  values_[name].assign(values, values + count);
  return gpu::kOk;
}

Result Effect::SetInt(const char* name, int32_t value) {
  const float f = float(value);
  return Store(name, &f, 1);
}
Result Effect::SetFloat(const char* name, float value) { return Store(name, &value, 1); }
Result Effect::SetFloatArray(const char* name, const float* values, uint32_t count) {
  return Store(name, values, count);
}
Result Effect::SetVectorArray(const char* name, const float* xyzw, uint32_t count) {
  return Store(name, xyzw, count * 4);
}
Result Effect::SetMatrix(const char* name, const gpu::Matrix& matrix) { return Store(name, &matrix.m[0][0], 16); }
Result Effect::SetMatrixArray(const char* name, const gpu::Matrix* matrices, uint32_t count) {
  return Store(name, matrices ? &matrices[0].m[0][0] : nullptr, count * 16);
}
Result Effect::SetTexture(const char* name, gpu::Texture* texture) {
  if (!name) return gpu::kErrInvalidCall;
  gpu::Texture*& slot = textures_[name];
  if (texture) texture->AddRef();
  if (slot) slot->Release();
  slot = texture;
  return gpu::kOk;
}

Result Effect::Begin(uint32_t* passes, uint32_t) {
  if (begun_) return gpu::kErrInvalidCall;
  begun_ = true;
  if (passes) *passes = 1;
  return gpu::kOk;
}

Result Effect::BeginPass(uint32_t pass) {
  if (!begun_ || pass != 0) return gpu::kErrInvalidCall;
  gpu::Program* program = programs_[size_t(current_)];
  for (const auto& [name, values] : values_)
    if (!values.empty()) program->SetValues(name.c_str(), values.data(), uint32_t(values.size()));
  for (const auto& [name, texture] : textures_) program->SetTexture(name.c_str(), texture);
  return device_->SetProgram(program);
}

Result Effect::EndPass() { return begun_ ? gpu::kOk : gpu::kErrInvalidCall; }

Result Effect::End() {
  if (!begun_) return gpu::kErrInvalidCall;
  begun_ = false;
  return device_->SetProgram(nullptr);
}

}  // namespace gpux
