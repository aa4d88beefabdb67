#pragma once

#include <memory>
#include <stdexcept>

// Raised by an access through nil. It propagates to the event boundary, where
// the application reports it and goes on.
class NilObjectException : public std::runtime_error {
public:
  NilObjectException() : std::runtime_error("NilObjectException: an object was used before it existed") {}
};

// The object behind a pointer, or NilObjectException for nil.
template <class T>
T& Deref(T* p) {
  if (p == nullptr) throw NilObjectException();
  return *p;
}
template <class T>
T& Deref(const std::shared_ptr<T>& p) {
  if (!p) throw NilObjectException();
  return *p;
}
