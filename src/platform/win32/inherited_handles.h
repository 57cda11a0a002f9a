#pragma once
#include <windows.h>

#include <initializer_list>
#include <vector>

namespace platform::win32 {

// The handles a new process may inherit, as the attribute list CreateProcessW takes with
// EXTENDED_STARTUPINFO_PRESENT: only these, whatever else of ours is inheritable at that
// moment. Another thread's output pipe, for one, would otherwise stay open in the child and
// delay that thread's end of output until the child exits.
class InheritedHandles {
  public:
    // Each handle must itself be inheritable.
    explicit InheritedHandles(std::initializer_list<HANDLE> handles);
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    ~InheritedHandles();

    // Null when the list could not be made.
    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

  private:
    std::vector<HANDLE> handles_;
    std::vector<char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace platform::win32
