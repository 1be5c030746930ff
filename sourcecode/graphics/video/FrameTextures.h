// The device side of video frames: one A8 texture per decoded plane (Y, Cr, Cb, A) whose locked
// memory the decoder writes straight into (dynamic textures, whose padded rows suit it), the two
// YUV-to-RGB(A) pixel shaders, and the drawing of the current frame as one screen-space quad.
// One video at a time: the textures and shaders are process-wide. Main thread only.
#pragma once

#include "platform/video/Video.h"

namespace gpu {
class Device;
}

namespace gfx {

// The vertex declaration and both shaders; false (everything freed) when any cannot be made.
bool CreateVideoShaders(gpu::Device* device);
void FreeVideoShaders(gpu::Device* device);
// A texture for every plane the decoder wants, its memory and pitch stored into info; false
// (every frame texture freed) on any failure.
bool CreateFrameTextures(gpu::Device* device, platform::video::st_FrameBuffersInfo& info);
void FreeFrameTextures(gpu::Device* device, platform::video::st_FrameBuffersInfo& info);
// Locks every texture (writable for the current set, read-only for the others) and stores the
// memory and pitch; a plane that fails to lock keeps its previous values.
void LockFrameTextures(platform::video::st_FrameBuffersInfo& info);
// Unlocks every texture (uploading what was written) and clears the memory pointers.
void UnlockFrameTextures(gpu::Device* device, platform::video::st_FrameBuffersInfo& info);
// Has a set's textures uploaded again: the decoder wrote a picture into a set other than the
// current one. Call with the textures unlocked.
void MarkFrameSetWritten(const platform::video::st_FrameBuffersInfo& info, int set);
// The current set's planes as a quad at (x, y) of videoWidth × scaleX by videoHeight × scaleY
// pixels; alpha below 0.999 (or an alpha plane) blends, premultiplied or by source alpha.
void DrawFrameTextures(gpu::Device* device, const platform::video::st_FrameBuffersInfo& info, float videoWidth,
                       float videoHeight, float x, float y, float scaleX, float scaleY, float alpha,
                       bool premultiplied);

}  // namespace gfx
