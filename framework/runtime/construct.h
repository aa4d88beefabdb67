#pragma once

#include <memory>
#include <type_traits>
#include <utility>

// The owner of an object that is being set up, known by the object's
// address while its scope lasts. A Constructor that hands out references to
// its own object (joining a scene, back references from its parts) takes
// them from here, so that objects need not each carry a reference to
// themselves: a scene holds a million of them. Scopes nest (a Constructor
// makes parts with New); the innermost one for an address answers.
class OwnerScope {
public:
  template <class T>
  explicit OwnerScope(const std::shared_ptr<T>& owner)
      : address_(mostDerived(owner.get())), owner_(owner), outer_(innermost()) {
    innermost() = this;
  }
  ~OwnerScope() { innermost() = outer_; }
  OwnerScope(const OwnerScope&) = delete;
  OwnerScope& operator=(const OwnerScope&) = delete;

  // The owner of `self`, sharing its ownership; null when no scope holds it.
  template <class T>
  [[nodiscard]] static std::shared_ptr<T> Of(T* self) {
    if (self == nullptr) return nullptr;
    const void* address = mostDerived(self);
    for (const OwnerScope* s = innermost(); s != nullptr; s = s->outer_) {
      if (s->address_ == address) return std::shared_ptr<T>(s->owner_, self);
    }
    return nullptr;
  }

private:
  template <class T>
  static const void* mostDerived(T* p) {
    if constexpr (std::is_polymorphic_v<T>) {
      return dynamic_cast<const void*>(p);
    } else {
      return static_cast<const void*>(p);
    }
  }
  static const OwnerScope*& innermost() {
    thread_local const OwnerScope* scope = nullptr;
    return scope;
  }

  const void* address_;
  std::shared_ptr<void> owner_;
  const OwnerScope* outer_;
};

// Objects of the program are made in two steps: allocated as shared objects,
// then set up by their Constructor method, within an OwnerScope of the new
// object.
template <class T, class... Args>
std::shared_ptr<T> New(Args&&... args) {
  auto object = std::make_shared<T>();
  const OwnerScope scope(object);
  object->Constructor(std::forward<Args>(args)...);
  return object;
}
