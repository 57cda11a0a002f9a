#include "platform/win32/inherited_handles.h"

#include <utility>

namespace platform::win32 {

InheritedHandles::InheritedHandles(std::initializer_list<HANDLE> handles) : handles_(handles) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    list_ = list;
    if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                     handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
        ::DeleteProcThreadAttributeList(std::exchange(list_, nullptr));
    }
}

InheritedHandles::~InheritedHandles() {
    if (list_) ::DeleteProcThreadAttributeList(list_);
}

}  // namespace platform::win32
