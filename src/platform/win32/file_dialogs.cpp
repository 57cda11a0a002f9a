#include "platform/win32/file_dialogs.h"

// windows.h first: the shell's headers build on its types.
#include <shobjidl.h>

#include "platform/win32/com.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

// A dialog with our options added to its defaults and the title, when there is one.
ComRef<IFileOpenDialog> openDialog(const std::string& title, FILEOPENDIALOGOPTIONS added) {
    ComRef<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.put()))) ||
        !dialog)
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)) || FAILED(dialog->SetOptions(options | added)))
        return {};
    if (!title.empty()) dialog->SetTitle(toWide(title).c_str());
    return dialog;
}

// The file-system path of a chosen item; empty when it has none.
std::string pathOf(IShellItem* item) {
    LPWSTR path = nullptr;
    if (!item || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return {};
    std::string utf8 = fromWide(path);
    CoTaskMemFree(path);
    return utf8;
}

}  // namespace

std::optional<std::string> ItemDialogs::pickFolder(const std::string& title) {
    ComRef<IFileOpenDialog> dialog = openDialog(title, FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
    // Cancelled, or the dialog could not be shown: both are no choice.
    if (!dialog || FAILED(dialog->Show(owner_))) return std::nullopt;
    ComRef<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.put()))) return std::nullopt;
    std::string path = pathOf(chosen.get());
    if (path.empty()) return std::nullopt;
    return path;
}

std::vector<std::string> ItemDialogs::pickFiles(const std::string& title,
                                                const std::vector<FileFilter>& filters) {
    ComRef<IFileOpenDialog> dialog =
        openDialog(title, FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_FORCEFILESYSTEM);
    if (!dialog) return {};
    // The dialog keeps pointers to these texts until it is shown.
    std::vector<std::wstring> names;
    std::vector<std::wstring> patterns;
    for (const FileFilter& filter : filters) {
        std::string joined;
        for (const std::string& pattern : filter.patterns)
            joined += (joined.empty() ? "" : ";") + pattern;
        names.push_back(toWide(filter.label));
        patterns.push_back(toWide(joined));
    }
    std::vector<COMDLG_FILTERSPEC> specs;
    for (std::size_t i = 0; i < names.size(); ++i)
        specs.push_back({names[i].c_str(), patterns[i].c_str()});
    if (!specs.empty()) dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    if (FAILED(dialog->Show(owner_))) return {};
    ComRef<IShellItemArray> chosen;
    if (FAILED(dialog->GetResults(chosen.put())) || !chosen) return {};
    DWORD count = 0;
    chosen->GetCount(&count);
    std::vector<std::string> paths;
    for (DWORD i = 0; i < count; ++i) {
        ComRef<IShellItem> item;
        if (FAILED(chosen->GetItemAt(i, item.put()))) continue;
        if (std::string path = pathOf(item.get()); !path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace platform::win32
