#include "Desktop.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace velora::testing {

Program::Program(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &FInfo))
        FInfo = PROCESS_INFORMATION{};
}

Program::~Program() {
    if (FInfo.hProcess == nullptr) return;
    if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(FInfo.hProcess, 99);
        WaitForSingleObject(FInfo.hProcess, 5000);
    }
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
}

std::optional<DWORD> Program::WaitForExit(std::chrono::milliseconds timeout) {
    if (FInfo.hProcess == nullptr) return std::nullopt;
    bool ended = WaitUntil([&] { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_OBJECT_0; }, timeout);
    DWORD code = 0;
    if (!ended || !GetExitCodeProcess(FInfo.hProcess, &code)) return std::nullopt;
    return code;
}

std::string BuiltProgram(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/") + 1) + name;
}

std::string WinePath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

std::string FileUnderTest(const char* variable, const std::string& built) {
    const char* path = std::getenv(variable);
    return path != nullptr && *path != '\0' ? WinePath(path) : built;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

std::vector<HWND> VisibleWindows(DWORD processId) {
    struct Search {
        DWORD Id;
        std::vector<HWND> Found;
    } search{processId, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->Id && IsWindowVisible(hwnd)) s->Found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND WaitForWindow(DWORD processId, std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const auto windows = VisibleWindows(processId);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeout);
    return found;
}

std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    return std::string(name, static_cast<std::size_t>(GetClassNameA(hwnd, name, sizeof name)));
}

std::string TextOf(HWND hwnd) {
    char text[1024] = {};
    return std::string(text, static_cast<std::size_t>(GetWindowTextA(hwnd, text, sizeof text)));
}

RECT ClientOnScreen(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    return RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

Shot ShootScreen(const RECT& area) {
    Shot shot;
    shot.Width = area.right - area.left;
    shot.Height = area.bottom - area.top;
    shot.Pixels.resize(static_cast<std::size_t>(shot.Width) * shot.Height);
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.Width;
    info.bmiHeader.biHeight = -shot.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.Width, shot.Height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < shot.Pixels.size(); ++i) shot.Pixels[i] = pixels[i] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

int ColouredPixels(const Shot& shot) {
    return static_cast<int>(std::count_if(shot.Pixels.begin(), shot.Pixels.end(), [](std::uint32_t p) {
        const int r = (p >> 16) & 0xFF;
        const int g = (p >> 8) & 0xFF;
        const int b = p & 0xFF;
        return std::max({r, g, b}) >= 96 && std::max({r, g, b}) - std::min({r, g, b}) >= 64;
    }));
}

void PressKey(WORD virtualKey) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = virtualKey;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void ClickAt(int x, int y) {
    SetCursorPos(x, y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
}

}  // namespace velora::testing
