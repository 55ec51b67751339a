// The module's diagnostic lines. A host that wants them looks up the module's
// export kSetTraceSinkEntry and hands it a function; nullptr removes it. The
// function is called on whatever thread traces, one line at a time.
#pragma once

namespace vesk {

using TraceFunction = void (*)(const char* line);
using SetTraceSinkEntry = void (*)(TraceFunction sink);
inline constexpr const char* kSetTraceSinkEntry = "VeskSetTraceSink";

}  // namespace vesk
