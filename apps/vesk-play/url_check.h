// Whether a live recorder answers at a URL, before a graph is built for it:
// the filter's download thread tells nobody when it cannot open the stream.
#pragma once

#include <string>

namespace vesk::play {

// True when the server answers with a success status within a few seconds;
// false with a one-line reason otherwise.
bool CheckUrlReachable(const std::string& url, std::string* error);

}  // namespace vesk::play
