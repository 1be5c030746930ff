// Where applied options take effect outside the panel: sound levels, the gamma ramp, the device
// reset and the release of every actor. The panel reaches them through one replaceable object so
// a test can record the calls; the default forwards to sfx, gfx and the actor registry.
#pragma once

class i_OptionEffects {
 public:
  virtual ~i_OptionEffects() = default;
  virtual void FadeMasterVolume(float level, float seconds) = 0;
  virtual void FadeChannelVolume(const char* channel, float level, float seconds) = 0;
  virtual void SetGamma(float gamma) = 0;
  virtual void RequestDeviceReset() = 0;
  virtual void ReleaseAllActors() = 0;  // they reload at the new character detail
};

// The current effects: the installed one, else the forwarding default. Never null.
i_OptionEffects& GetOptionEffects();
// Installs effects (not owned); null goes back to the default.
void SetOptionEffects(i_OptionEffects* effects);
