// A character speaking a line: the "speak" action the calling script waits on, the recorded
// speech for the line, the speaker's lip-sync from the data recorded beside it and the talking
// animation. The action queue counts the line down; the speech display shows it. Main thread only.
#pragma once

#include "KRX/runtime/Interface.h"

namespace quillane {

// Queues a "speak" action for the calling script thread (object: the speaker, text: the key)
// and plays the key's speech sample from the "Speech" archive; the speaker, when on the stage,
// starts its lip-sync from the sample's ".lipsync" partner (even when the sample did not play)
// and its talking blend. speaker may be empty (a narrator). duration -1 takes the time from the
// sample or the key's length; another value is used when there is no sample. Returns the line's
// time in seconds: sample + 0.5, else the duration, else 1.5 + 0.2 per character of textKey.
float SpeakLine(KRX::t_Interface& in, const char* speaker, const char* textKey, float duration);

}  // namespace quillane
