// The recording `vesk-mkrec --demo` writes: every kind of channel, Cyrillic
// texts, and a second channel description halfway through.
#pragma once

#include "mkrec/recording_plan.h"

namespace vesk::mkrec {

RecordingPlan DemoPlan();

}  // namespace vesk::mkrec
