// The frame lock: held by the graphics device from frame begin to Present, so that the render
// pass of a frame runs under it (a thread that must not touch the device mid-frame takes it too).
// Made by the platform's constructor, deleted by its destructor. Re-entrant.
#pragma once

namespace gfx {

void InitFrameLock();
void DeleteFrameLock();
void LockFrame();    // no-op while no lock exists
void UnlockFrame();

}  // namespace gfx
