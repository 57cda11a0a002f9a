#include "platform/win32/wide.h"

#include <windows.h>

namespace platform::win32 {
namespace {

// The API counts in int; a longer text is converted piece by piece.
constexpr std::size_t kPiece = std::size_t{1} << 30;

// A piece end that does not split a UTF-8 sequence: back off over continuation bytes.
std::size_t utf8PieceEnd(std::string_view text, std::size_t start) {
    std::size_t end = start + kPiece;
    if (end >= text.size()) return text.size();
    for (int back = 0; back < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++back)
        --end;
    return end;
}

// A piece end that does not split a surrogate pair.
std::size_t utf16PieceEnd(std::wstring_view text, std::size_t start) {
    std::size_t end = start + kPiece;
    if (end >= text.size()) return text.size();
    if (text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
    return end;
}

// Lengths up to this many units keep every API happy without the prefix; CreateDirectoryW
// has the lowest limit of them (MAX_PATH less room for an 8.3 name).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

}  // namespace

std::wstring toWide(std::string_view utf8) {
    std::wstring wide;
    for (std::size_t start = 0; start < utf8.size();) {
        const std::size_t end = utf8PieceEnd(utf8, start);
        const int inLength = static_cast<int>(end - start);
        // Without MB_ERR_INVALID_CHARS the system puts U+FFFD for each invalid sequence.
        const int outLength =
            ::MultiByteToWideChar(CP_UTF8, 0, utf8.data() + start, inLength, nullptr, 0);
        const std::size_t used = wide.size();
        wide.resize(used + static_cast<std::size_t>(outLength));
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data() + start, inLength, wide.data() + used,
                              outLength);
        start = end;
    }
    return wide;
}

std::string fromWide(std::wstring_view utf16) {
    std::string utf8;
    for (std::size_t start = 0; start < utf16.size();) {
        const std::size_t end = utf16PieceEnd(utf16, start);
        const int inLength = static_cast<int>(end - start);
        // Without WC_ERR_INVALID_CHARS a lone surrogate becomes U+FFFD.
        const int outLength = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data() + start, inLength,
                                                    nullptr, 0, nullptr, nullptr);
        const std::size_t used = utf8.size();
        utf8.resize(used + static_cast<std::size_t>(outLength));
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data() + start, inLength, utf8.data() + used,
                              outLength, nullptr, nullptr);
        start = end;
    }
    return utf8;
}

bool isAbsolutePath(std::wstring_view path) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;
    return path.size() >= 3 && path[1] == L':' && separator(path[2]);
}

std::wstring widePath(std::string_view path) {
    std::wstring wide = toWide(path);
    if (wide.size() < kPlainPathLimit || wide.starts_with(L"\\\\?\\")) return wide;
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    // \\server\share\x becomes \\?\UNC\server\share\x; C:\x becomes \\?\C:\x. A device path
    // (\\.\...) is left as it is.
    if (full.starts_with(L"\\\\.\\")) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace platform::win32
