#include "apps/vesk-play/url_check.h"

#include <curl/curl.h>

namespace vesk::play {
namespace {

constexpr long kTimeoutSeconds = 5;

// The first bytes of the body are enough: the answer is known by then.
std::size_t StopAtFirstBytes(char*, std::size_t, std::size_t, void*) { return 0; }

}  // namespace

bool CheckUrlReachable(const std::string& url, std::string* error) {
  CURL* curl = curl_easy_init();
  if (!curl) {
    *error = "cannot set up an HTTP request";
    return false;
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "DevaZud");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, StopAtFirstBytes);
  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  if (status >= 200 && status < 300) return true;
  if (status != 0)
    *error = url + ": the recorder answered HTTP " + std::to_string(status);
  else
    *error = url + ": " + curl_easy_strerror(result);
  return false;
}

}  // namespace vesk::play
