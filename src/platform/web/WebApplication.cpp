#include "platform/web/WebApplication.h"

#include <emscripten.h>

#include "platform/web/WebEvents.h"

namespace velora::platform {

std::unique_ptr<Application> CreateApplication(const std::string&) { return std::make_unique<web::WebApplication>(); }

}  // namespace velora::platform

namespace velora::platform::web {

namespace {

// The record kinds of velora-page.js.
enum Record {
    kNone = 0,
    kKey = 1,
    kButton = 2,
    kWheel = 3,
    kMove = 4,
    kSize = 5,
    kClose = 6,
    kDeactivate = 7,
    kSaver = 8
};

constexpr int kRecordNumbers = 6;
constexpr int kKeyCodeSize = 32;

// The formatter would split JavaScript's === and !==.
// clang-format off

// Takes the oldest queued record: its kind (kNone when the queue is empty),
// then the window and the numbers after it in `numbers` (positions in CSS
// pixels, followed by the device pixel ratio); a key's `code` goes to `code`.
EM_JS(int, PageTake, (double* numbers, char* code, int codeSize), {
    var record = VeloraPage.take();
    if (record === undefined) return 0;
    for (var i = 1; i < record.length && i <= 6; ++i) {
        var value = record[i];
        if (typeof value === 'string') {
            stringToUTF8(value, code, codeSize);
            value = 0;
        }
        HEAPF64[(numbers >> 3) + i - 1] = value;
    }
    return record[0];
});
EM_ASYNC_JS(void, PageWait, (int wantFrame), { await VeloraPage.wait(wantFrame !== 0); });
EM_ASYNC_JS(void, PageMessage, (const char* text), { await VeloraPage.message(UTF8ToString(text)); });
EM_JS(void, PageSetModal, (double dialog), { VeloraPage.setModal(dialog); });
EM_JS(double, PageScreen, (int height), { return VeloraPage.screen()[height]; });
EM_JS(int, PageOpenDocument, (const char* url), { return VeloraPage.openDocument(UTF8ToString(url)) ? 1 : 0; });
// "ru" is among the locales that the browser's Intl supports.
EM_JS(int, BrowserHasRussian, (), {
    return typeof Intl === 'object' && Intl.DateTimeFormat.supportedLocalesOf(['ru']).length > 0 ? 1 : 0;
});
// clang-format on

int Number(double value) { return static_cast<int>(value); }

}  // namespace

Tick WebClock::GetTickCount() {
    WebGraphics::FinishPendingDrawing();
    return static_cast<Tick>(static_cast<std::uint64_t>(emscripten_get_now()));
}

bool WebClock::QueryPerformanceCounter(std::uint64_t& counter) {
    counter = static_cast<std::uint64_t>(emscripten_get_now() * 1000.0);
    return true;
}

WebApplication::WebApplication()
    : FGraphics(
          [this](WindowHandle wnd) {
              const WebWindow* window = Find(wnd);
              return window != nullptr && window->Exists() && window->OnCanvas() ? std::string("#velora-canvas")
                                                                                 : std::string();
          },
          [this](WindowHandle wnd, Rect& rect) {
              const WebWindow* window = Find(wnd);
              if (window == nullptr || !window->Exists() || !window->OnCanvas()) return false;
              rect = window->ClientRect();
              return true;
          }) {}

WebApplication::~WebApplication() = default;

bool WebApplication::Ended(const ModalRun* modal) const {
    if (FTerminated) return true;
    if (modal == nullptr) return false;
    const WebWindow* dialog = Find(modal->Dialog);
    return modal->Ended || dialog == nullptr || !dialog->Exists();
}

void WebApplication::Loop(const ModalRun* modal) {
    while (!Ended(modal)) {
        if (HandleNext()) continue;
        bool done = true;
        if (FIdle) FIdle(done);
        if (Ended(modal)) break;
        // One frame at a time: the browser draws, runs its events and comes
        // back at the next animation frame (or at the next input when the
        // idle handler has nothing more to do).
        PageWait(done ? 0 : 1);
    }
}

void WebApplication::Run() { Loop(nullptr); }

void WebApplication::ProcessMessages() {
    while (HandleNext()) {
    }
}

void WebApplication::RunModal(Window& dialog) {
    ModalRun run{dialog.Handle(), false};
    FModalRuns.push_back(&run);
    PageSetModal(static_cast<double>(run.Dialog));
    struct Pop {
        std::vector<ModalRun*>& Runs;
        ~Pop() {
            Runs.pop_back();
            PageSetModal(Runs.empty() ? 0.0 : static_cast<double>(Runs.back()->Dialog));
        }
    } pop{FModalRuns};
    dialog.Show();
    Loop(&run);
}

void WebApplication::EndModal() {
    if (!FModalRuns.empty()) FModalRuns.back()->Ended = true;
}

void WebApplication::ShowMessage(const std::string& text) { PageMessage(text.c_str()); }

bool WebApplication::HandleNext() {
    if (!FPosted.empty()) {
        const Message msg = FPosted.front();
        FPosted.erase(FPosted.begin());
        Dispatch(msg);
        return true;
    }
    double n[kRecordNumbers] = {};
    char code[kKeyCodeSize] = {};
    const int kind = PageTake(n, code, kKeyCodeSize);
    if (kind == kNone) return false;
    const auto wnd = static_cast<WindowHandle>(n[0]);
    switch (kind) {
        case kKey: {
            Message msg = TranslateKeyDown(wnd, code, n[2] != 0);
            HandleInput(msg);
            break;
        }
        case kButton:
            if (auto msg =
                    TranslateButton(wnd, n[1] != 0, Number(n[2]), DevicePixel(n[3], n[5]), DevicePixel(n[4], n[5])))
                HandleInput(*msg);
            break;
        case kWheel: {
            auto wheel = TranslateWheel(wnd, n[1], n[2], DevicePixel(n[3], n[5]), DevicePixel(n[4], n[5]));
            if (wheel.Vertical) HandleInput(*wheel.Vertical);
            if (wheel.Horizontal) HandleInput(*wheel.Horizontal);
            break;
        }
        case kMove: {
            Message msg{wnd, kWmMouseMove, 0, MakePointParam(DevicePixel(n[1], n[3]), DevicePixel(n[2], n[3]))};
            HandleInput(msg);
            break;
        }
        case kSize:
            Dispatch(Message{wnd, kWmSize, 0, MakePointParam(Number(n[1]), Number(n[2]))});
            break;
        case kClose:
            Dispatch(Message{wnd, kWmClose, 0, 0});
            break;
        case kDeactivate:
            Dispatch(Message{wnd, kWmActivateApp, 0, 0});
            break;
        case kSaver:
            if (FModalRuns.empty() && FSaverRequest) FSaverRequest();
            break;
        default:
            break;
    }
    return true;
}

void WebApplication::HandleInput(Message& msg) {
    // A modal dialog disables the other windows: their input never reaches
    // the queue.
    if (!FModalRuns.empty() && msg.window != FModalRuns.back()->Dialog) return;
    bool handled = false;
    if (FHook) FHook(msg, handled);
    if (!handled) Dispatch(msg);
}

WebWindow* WebApplication::Find(WindowHandle handle) const {
    const auto found = FWindows.find(handle);
    return found == FWindows.end() ? nullptr : found->second;
}

void WebApplication::Dispatch(const Message& msg) {
    WebWindow* window = Find(msg.window);
    if (window == nullptr || window->Deliver(msg)) return;
    // The window's own handling may have freed it.
    if ((window = Find(msg.window)) != nullptr) window->DefaultHandling(msg);
}

std::unique_ptr<Window> WebApplication::OpenWindow(const WindowSpec& request, WindowProc proc) {
    return std::make_unique<WebWindow>(*this, FNextHandle++, request, std::move(proc));
}

bool WebApplication::IsWindow(WindowHandle wnd) {
    if (wnd == kPageWindow) return true;
    const WebWindow* window = Find(wnd);
    return window != nullptr && window->Exists();
}

bool WebApplication::GetClientRect(WindowHandle wnd, Rect& rect) {
    if (wnd == kPageWindow) {
        rect = VirtualScreen();
        return true;
    }
    const WebWindow* window = Find(wnd);
    if (window == nullptr || !window->Exists()) return false;
    rect = window->ClientRect();
    return true;
}

Rect WebApplication::VirtualScreen() { return Rect{0, 0, Number(PageScreen(0)), Number(PageScreen(1))}; }

bool WebApplication::IsRussianLocaleInstalled() { return BrowserHasRussian() != 0; }

bool WebApplication::OpenDocument(const std::string& fileName, const std::string&) {
    return PageOpenDocument(fileName.c_str()) != 0;
}

}  // namespace velora::platform::web
