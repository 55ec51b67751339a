// A test program must neither read nor change the settings of the user who
// runs it: each one keeps them in a fresh folder of its own, removed at exit.
// Programs it starts inherit the folder.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

class IsolatedConfiguration {
 public:
  IsolatedConfiguration() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "vesk-test-config-XXXXXX").string();
    if (!error && mkdtemp(pattern.data())) {
      path_ = pattern;
      setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
  }
  ~IsolatedConfiguration() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }

 private:
  std::string path_;
};

const IsolatedConfiguration isolated;

}  // namespace
