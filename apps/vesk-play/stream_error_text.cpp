#include "apps/vesk-play/stream_error_text.h"

#include <cstdio>

#include "vesk/stream_errors.h"

namespace vesk::play {

std::string StreamErrorText(HRESULT cause) {
  if (const long status = HttpStatusOf(cause)) return "the recorder answered HTTP " + std::to_string(status);
  switch (cause) {
    case kStreamCannotConnect:
      return "the connection was refused";
    case kStreamNameNotResolved:
      return "no such host";
    case kStreamClosedEarly:
      return "the recorder closed the connection early";
    case kStreamReset:
      return "the connection broke";
    case kStreamBadAnswer:
      return "the answer is not HTTP";
    case kStreamTooManyRedirects:
      return "more than five redirects";
    case kStreamNotRecorder:
      return "not a recorder stream";
    default: {
      char text[48];
      std::snprintf(text, sizeof text, "playback failed (0x%08X)", static_cast<unsigned>(cause));
      return text;
    }
  }
}

}  // namespace vesk::play
