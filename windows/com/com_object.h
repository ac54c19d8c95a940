// The IUnknown part of every COM object the server hands out: reference
// counting, QueryInterface over the interfaces the object names, and the
// module's count of live objects that DllCanUnloadNow answers from.
#pragma once

#include <windows.h>

#include <atomic>

namespace bolvarin::com {

// Defined by com_server.cc, of which each server DLL links its own copy (its
// DllCanUnloadNow counts them).
void ObjectCreated();
void ObjectDestroyed();

// Derive as `class X : public ComObject<IFoo, IBar>` and define
// `void* Interface(REFIID iid)`, which returns `this` cast to the interface
// asked for, or nullptr. IUnknown is answered by the first interface.
// Objects start with one reference, owned by whoever created them.
template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject() { ObjectCreated(); }
  virtual ~ComObject() { ObjectDestroyed(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = iid == IID_IUnknown ? static_cast<First*>(this) : Interface(iid);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual void* Interface(REFIID iid) = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace bolvarin::com
