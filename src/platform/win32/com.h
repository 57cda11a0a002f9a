#pragma once
// windows.h first: the COM headers build on its types.
#include <windows.h>

#include <unknwn.h>

#include <atomic>
#include <functional>
#include <utility>

// The little COM plumbing the web view needs, since mingw-w64 has no WRL.
namespace platform::win32 {

// One counted reference to a COM object, released when it goes.
template <typename T>
class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef& other) : object_(other.object_) {
        if (object_) object_->AddRef();
    }
    ComRef& operator=(ComRef other) {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComRef() {
        if (object_) object_->Release();
    }

    // Takes over a reference somebody already counted for us (an out-parameter).
    T** put() {
        *this = ComRef();
        return &object_;
    }
    // Counts a reference of its own to an object passed in.
    static ComRef share(T* object) {
        ComRef ref;
        ref.object_ = object;
        if (object) object->AddRef();
        return ref;
    }
    // The same object through another of its interfaces; empty when it has none.
    template <typename U>
    ComRef<U> query(const IID& iid) const {
        ComRef<U> other;
        if (object_) object_->QueryInterface(iid, reinterpret_cast<void**>(other.put()));
        return other;
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    T* object_ = nullptr;
};

// IUnknown for an object of ours with one interface: it answers for that interface and
// IUnknown (WebView2 never asks ours for more), and deletes itself with its last reference,
// starting with the creator's.
template <typename Interface, const IID& kIid>
class ComObject : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, kIid) || IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

  private:
    std::atomic<ULONG> references_{1};
};

// A COM handler interface whose one Invoke method runs a function: WebView2 reports every
// completion and event through such single-method interfaces.
template <typename Interface, const IID& kIid, typename... Args>
class ComCallback final : public ComObject<Interface, kIid> {
  public:
    using Function = std::function<HRESULT(Args...)>;

    // Starts with the caller's reference.
    static ComRef<Interface> make(Function function) {
        ComRef<Interface> ref;
        *ref.put() = new ComCallback(std::move(function));
        return ref;
    }

    HRESULT STDMETHODCALLTYPE Invoke(Args... args) override { return function_(args...); }

  private:
    explicit ComCallback(Function function) : function_(std::move(function)) {}
    Function function_;
};

}  // namespace platform::win32
