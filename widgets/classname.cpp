#include "widgets/classname.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace zq {

std::string ClassName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  // Template arguments may carry namespaces too; only the outermost name is cut.
  const std::size_t angle = name.find('<');
  const std::size_t colons = name.rfind("::", angle);
  if (colons != std::string::npos) name.erase(0, colons + 2);
  return name;
}

}  // namespace zq
