#pragma once

// Holds a COM interface pointer and releases it at the end of the scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p) p->Release();
  }
  T** out() { return &p; }
  void** outVoid() { return reinterpret_cast<void**>(&p); }
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
  T* p = nullptr;
};
