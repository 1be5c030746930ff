// The forwarding option effects.
#include "quillane/options/OptionEffects.h"

#include "graphics/gfx.h"
#include "sound/Sfx.h"

namespace {

class cl_ForwardingEffects : public i_OptionEffects {
 public:
  void FadeMasterVolume(float level, float seconds) override { sfx::FadeMasterVolume(level, seconds); }
  void FadeChannelVolume(const char* channel, float level, float seconds) override {
    sfx::FadeChannelVolume(channel, level, seconds);
  }
  void SetGamma(float gamma) override { gfx::SetGamma(gamma); }
  void RequestDeviceReset() override { gfx::RequestDeviceReset(); }
  // The actor registry is not part of the game yet; until it is, there is nothing to release.
  void ReleaseAllActors() override {}
};

cl_ForwardingEffects g_forwarding;
i_OptionEffects* g_pEffects = nullptr;

}  // namespace

i_OptionEffects& GetOptionEffects() { return g_pEffects ? *g_pEffects : g_forwarding; }

void SetOptionEffects(i_OptionEffects* effects) { g_pEffects = effects; }
