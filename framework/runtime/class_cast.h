#pragma once

#include <cstddef>
#include <type_traits>
#include <typeinfo>

// dynamic_cast<To*>(p) for loops over very many objects of few classes (the
// members of a large scene): the answer for an object's class is worked out
// once and reused, per thread, for the next object of the same class, where a
// dynamic_cast would walk the chain of base classes again (every time, when
// it fails). Gives what dynamic_cast gives, for class hierarchies in which
// From occurs once in every class (no repeated base).
template <class To, class From>
To* ClassCast(From* p) {
  static_assert(std::is_polymorphic_v<std::remove_cv_t<From>>);
  if (p == nullptr) return nullptr;
  struct Answer {
    const std::type_info* type = nullptr;
    std::ptrdiff_t offset = 0;
    bool found = false;
  };
  thread_local Answer last;
  const std::type_info* type = &typeid(*p);
  if (type != last.type) {
    To* to = dynamic_cast<To*>(p);
    last.type = type;
    last.found = to != nullptr;
    last.offset = to != nullptr ? reinterpret_cast<const volatile char*>(to) - reinterpret_cast<const volatile char*>(p) : 0;
    return to;
  }
  if (!last.found) return nullptr;
  using Byte = std::conditional_t<std::is_const_v<From>, const char, char>;
  return reinterpret_cast<To*>(reinterpret_cast<Byte*>(p) + last.offset);
}
