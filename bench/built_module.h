// The module file this build made, loaded once per benchmark program as a
// player loads it. The program is compiled with VESK_MODULE_PATH naming it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "host/module_loader.h"

namespace vesk::bench {

// Null, after saying why on stderr, when the module cannot be loaded.
inline host::ModuleLoader* BuiltModule() {
  static const std::unique_ptr<host::ModuleLoader> module = [] {
    std::string error;
    auto loaded = host::ModuleLoader::Load(VESK_MODULE_PATH, &error);
    if (!loaded) std::fprintf(stderr, "%s\n", error.c_str());
    return loaded;
  }();
  return module.get();
}

}  // namespace vesk::bench
