// A window or page that is made when it is first needed, not at start.
#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace tavik {

// Holds what makes the object and, once made, the object. get() makes it at the first call;
// ifCreated() never does, for the steps that only concern an object already there.
template <typename T>
class OnFirstUse {
 public:
  OnFirstUse() = default;
  // The made object belongs to whoever `make` gave it to (a Qt parent).
  explicit OnFirstUse(std::function<T*()> make) : m_make(std::move(make)) {}
  // The made object belongs to this holder (a window without a parent).
  explicit OnFirstUse(std::function<std::unique_ptr<T>()> make) : m_makeOwned(std::move(make)) {}
  OnFirstUse(const OnFirstUse&) = delete;
  OnFirstUse& operator=(const OnFirstUse&) = delete;

  T& get() {
    if (m_created == nullptr) {
      if (m_makeOwned) {
        m_owned = m_makeOwned();
        m_created = m_owned.get();
      } else {
        m_created = m_make();
      }
      // What the makers hold is not needed again.
      m_make = nullptr;
      m_makeOwned = nullptr;
    }
    return *m_created;
  }
  T* ifCreated() const { return m_created; }

 private:
  std::function<T*()> m_make;
  std::function<std::unique_ptr<T>()> m_makeOwned;
  T* m_created = nullptr;
  std::unique_ptr<T> m_owned;
};

}  // namespace tavik
