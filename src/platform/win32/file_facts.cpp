#include "platform/win32/file_facts.h"

#include <winioctl.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/win32/errors.h"
#include "platform/win32/handle.h"

namespace platform::win32 {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The layouts of a symbolic link's and a junction's reparse data, as the file system hands
// them out (the SDK keeps them in a driver header).
struct ReparseHeader {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
};
struct NameOffsets {
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
};

// An NT path ("\??\C:\x") in the form the Win32 API takes ("\\?\C:\x").
std::wstring win32FormOf(std::wstring path) {
    if (path.starts_with(L"\\??\\")) path[1] = L'\\';
    return path;
}

}  // namespace

bool isLinkAt(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    OwnedHandle entry(
        ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!entry ||
        !::GetFileInformationByHandleEx(entry.get(), FileAttributeTagInfo, &info, sizeof info))
        return false;
    return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(info.ReparseTag);
}

FollowedKind followedKind(const std::wstring& path, DWORD* error) {
    // Opening follows every link and yields devices for reserved names; backup semantics
    // lets a folder be opened too. Asking for attributes only passes any sharing mode.
    OwnedHandle opened(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (opened && ::GetFileType(opened.get()) != FILE_TYPE_DISK) return FollowedKind::device;
    if (!opened || !::GetFileInformationByHandle(opened.get(), &info)) {
        if (error) *error = ::GetLastError();
        return FollowedKind::missing;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FollowedKind::folder
                                                              : FollowedKind::file;
}

Result<LinkTarget> readLinkTarget(const std::wstring& path) {
    OwnedHandle link(
        ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!link) return failLastError("open a link");
    std::vector<unsigned char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD size = 0;
    if (!::DeviceIoControl(link.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                           static_cast<DWORD>(data.size()), &size, nullptr))
        return failLastError("read a link");
    ReparseHeader header{};
    if (size < sizeof header) return fail(EINVAL, "read a link");
    std::memcpy(&header, data.data(), sizeof header);
    // A symbolic link has a flags word after the offsets, a junction has none.
    const bool symbolic = header.tag == IO_REPARSE_TAG_SYMLINK;
    if (!symbolic && header.tag != IO_REPARSE_TAG_MOUNT_POINT) return fail(EINVAL, "not a link");
    NameOffsets names{};
    ULONG flags = 0;
    const std::size_t namesAt = sizeof header;
    const std::size_t textAt = namesAt + sizeof names + (symbolic ? sizeof flags : 0);
    if (size < textAt) return fail(EINVAL, "read a link");
    std::memcpy(&names, data.data() + namesAt, sizeof names);
    if (symbolic) std::memcpy(&flags, data.data() + namesAt + sizeof names, sizeof flags);
    // The print name is the one written by whoever made the link ("C:\x", "..\x"); the
    // substitute name is the NT form and stands in when there is no print name.
    const bool usePrint = names.printLength > 0;
    const std::size_t offset = usePrint ? names.printOffset : names.substituteOffset;
    const std::size_t length = usePrint ? names.printLength : names.substituteLength;
    if (textAt + offset + length > size || length % sizeof(wchar_t) != 0)
        return fail(EINVAL, "read a link");
    std::wstring text(length / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data() + textAt + offset, length);
    return LinkTarget{win32FormOf(std::move(text)), (flags & SYMLINK_FLAG_RELATIVE) != 0};
}

}  // namespace platform::win32
