#pragma once
// Loads the fake encoder library through the binding in place of LAME and returns its state,
// cleared. The state lives in the loaded library: it is gone once the binding is pointed back
// at LAME.

#include <dlfcn.h>

#include <stdexcept>

#include "audio/bladeenc.h"
#include "tests/audio/fakeenc/fakeenc.h"

namespace zq::testing {

inline FakeEncState& LoadFakeEncoder(const char* path) {
  beSetLibraryName(path);
  void* lib = beLoadLibrary() ? dlopen(path, RTLD_NOW | RTLD_NOLOAD) : nullptr;
  if (lib == nullptr) throw std::runtime_error("the fake encoder library does not load");
  auto state = reinterpret_cast<FakeEncState* (*)()>(dlsym(lib, "fakeenc_state"));
  dlclose(lib);  // only drops the count taken just now
  if (state == nullptr) throw std::runtime_error("the fake encoder library has no state");
  FakeEncState& s = *state();
  s.Reset();
  return s;
}

}  // namespace zq::testing
