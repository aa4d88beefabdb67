#pragma once

#include <memory>
#include <utility>

// Objects of the program are made in two steps: allocated as shared objects,
// then set up by their Constructor method, which may hand out references to
// the object itself (joining a scene, back-references from children).
template <class T, class... Args>
std::shared_ptr<T> New(Args&&... args) {
  auto object = std::make_shared<T>();
  object->Constructor(std::forward<Args>(args)...);
  return object;
}
