#pragma once

#include <memory>
#include <optional>
#include <utility>

// An optional value kept on the heap: one pointer wide while empty. For
// fields that most objects of a class never set, where std::optional would
// carry the whole value in every object. Reads like std::optional.
template <class T>
class HeapOptional {
public:
  HeapOptional() = default;
  HeapOptional(std::nullopt_t) {}  // NOLINT(google-explicit-constructor)
  HeapOptional(const T& v) : p_(std::make_unique<T>(v)) {}  // NOLINT(google-explicit-constructor)
  HeapOptional(const HeapOptional& o) : p_(o.p_ ? std::make_unique<T>(*o.p_) : nullptr) {}
  HeapOptional(HeapOptional&&) noexcept = default;
  HeapOptional& operator=(const HeapOptional& o) {
    if (this != &o) {
      if (o.p_) {
        *this = *o.p_;
      } else {
        p_.reset();
      }
    }
    return *this;
  }
  HeapOptional& operator=(HeapOptional&&) noexcept = default;
  HeapOptional& operator=(std::nullopt_t) {
    p_.reset();
    return *this;
  }
  HeapOptional& operator=(const T& v) {
    if (p_) {
      *p_ = v;
    } else {
      p_ = std::make_unique<T>(v);
    }
    return *this;
  }

  [[nodiscard]] bool has_value() const { return p_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  void reset() { p_.reset(); }

  [[nodiscard]] T& value() {
    if (!p_) throw std::bad_optional_access();
    return *p_;
  }
  [[nodiscard]] const T& value() const {
    if (!p_) throw std::bad_optional_access();
    return *p_;
  }
  T& operator*() { return *p_; }
  const T& operator*() const { return *p_; }
  T* operator->() { return p_.get(); }
  const T* operator->() const { return p_.get(); }

  friend bool operator==(const HeapOptional& a, std::nullopt_t) { return !a.p_; }
  friend bool operator==(const HeapOptional& a, const T& v) { return a.p_ && *a.p_ == v; }

private:
  std::unique_ptr<T> p_;
};
