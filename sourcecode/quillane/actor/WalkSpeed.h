// The two walk-speed curves every walker shares: "walkspeed" (speed factor over the whole walk's
// length in metres) and "walksliding" (stride correction against foot sliding), read from
// "characters/walkspeed.xml" when the actor list is loaded. A curve that is missing walks at the
// neutral factor 1.0 instead of standing still. Main thread only.
#pragma once

namespace quillane {

// Replaces both curves by the file's; one "Warning:" line when either is missing afterwards.
void LoadWalkSpeedCurves(const char* path);
// Both curves empty (tests, and before the actor list is read).
void ClearWalkSpeedCurves();
// walkspeed(total) and walksliding(total); 1.0 for a missing curve.
float EvaluateWalkSpeed(float total);
float EvaluateWalkSliding(float total);

}  // namespace quillane
