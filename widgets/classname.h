#pragma once
// The class name of an object as the operator reads it in messages: the dynamic type without its
// namespace ("TMMLevel", not "zq::TMMLevel").

#include <string>
#include <typeinfo>

namespace zq {

std::string ClassName(const std::type_info& type);
template <class T>
std::string ClassName(const T& object) {
  return ClassName(typeid(object));
}

}  // namespace zq
