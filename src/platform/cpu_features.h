// What the processor offers beyond the instructions the build assumes, asked
// once per process. Code paths for such instructions are only taken after
// asking here.
#pragma once

namespace vesk::platform {

#if defined(__x86_64__) || defined(__i386__)
#define VESK_HAS_X86_VECTOR_PATHS 1

inline bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace vesk::platform
