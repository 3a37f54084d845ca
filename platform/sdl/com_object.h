// The reference counting every object of ours behind a COM-style interface
// shares: created with one reference, deleted when the last one goes, and no
// further interfaces to ask for.
#pragma once

#include <windows.h>

namespace vantor {

template <typename Interface>
class ComObject : public Interface {
 public:
  virtual ~ComObject() = default;

  HRESULT QueryInterface(REFIID, void** object) override {
    if (object != nullptr) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refCount; }
  ULONG Release() override {
    ULONG count = --refCount;
    if (count == 0) delete this;
    return count;
  }

 private:
  ULONG refCount = 1;
};

}  // namespace vantor
