#pragma once
// What the window tests need of the screen under Wine: a display (tests/shell/win32/
// with_xvfb.sh gives each test program an Xvfb of its own), finding windows while another
// thread or process shows them, and reading them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Dialogs and message boxes only block, and only draw, with a display; without one, Wine
// returns from them at once.
#define SKIP_WITHOUT_DISPLAY()                                             \
    do {                                                                   \
        if (const char* reason = std::getenv("FORGESET_NO_DISPLAY"))       \
            GTEST_SKIP() << "no display for the window tests: " << reason; \
    } while (false)

inline std::wstring windowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

inline std::wstring classOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

inline DWORD processOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The first top-level window of `process` with this class (and title, when given); polls
// until `limit`, or until `stop` is set. Null when none came.
inline HWND waitForWindow(DWORD process, const wchar_t* className, const wchar_t* title,
                          std::chrono::milliseconds limit = std::chrono::seconds(30),
                          const std::atomic<bool>* stop = nullptr) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        if (stop && *stop) return nullptr;
        for (HWND window = FindWindowExW(nullptr, nullptr, className, title); window;
             window = FindWindowExW(nullptr, window, className, title)) {
            if (processOf(window) == process) return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return nullptr;
}

// Every descendant window of `parent` with this class.
inline std::vector<HWND> descendantsOfClass(HWND parent, const std::wstring& className) {
    struct Search {
        std::wstring className;
        std::vector<HWND> found;
    } search{className, {}};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (classOf(child) == s->className) s->found.push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
