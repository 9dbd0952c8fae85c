// The message box: a small window with the text and an OK button, run by a
// loop of its own that dispatches without the application's hook or idle
// handler, as the system's message box does.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/x11/X11Application.h"
#include "platform/x11/X11Events.h"

namespace velora::platform::x11 {

namespace {

constexpr int kMargin = 16;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kMinWidth = 220;
constexpr std::uintptr_t kVkReturn = 0x0D;
constexpr std::uintptr_t kVkEscape = 0x1B;
constexpr std::uintptr_t kVkSpace = 0x20;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

std::string OneLine(const std::string& text) {
    std::string line;
    for (const std::string& part : SplitLines(text)) {
        if (!line.empty() && !part.empty()) line += ' ';
        line += part;
    }
    return line;
}

class MessageBoxLayout {
public:
    MessageBoxLayout(Display* display, const std::string& text)
        : FDisplay(display), FLines(SplitLines(text)), FFont(XLoadQueryFont(display, "fixed")) {
        int textWidth = 0;
        for (const std::string& line : FLines) textWidth = std::max(textWidth, TextWidth(line));
        Width = std::max(kMinWidth, textWidth + 2 * kMargin);
        Height = kMargin + static_cast<int>(FLines.size()) * LineHeight() + kMargin + kButtonHeight + kMargin;
        Button = Rect{(Width - kButtonWidth) / 2, Height - kMargin - kButtonHeight, (Width + kButtonWidth) / 2,
                      Height - kMargin};
    }
    ~MessageBoxLayout() {
        if (FFont != nullptr) XFreeFont(FDisplay, FFont);
    }
    MessageBoxLayout(const MessageBoxLayout&) = delete;
    MessageBoxLayout& operator=(const MessageBoxLayout&) = delete;

    bool InButton(int x, int y) const {
        return x >= Button.Left && x < Button.Right && y >= Button.Top && y < Button.Bottom;
    }

    void Paint(::Window window, unsigned long black, unsigned long white) const {
        GC gc = XCreateGC(FDisplay, window, 0, nullptr);
        if (FFont != nullptr) XSetFont(FDisplay, gc, FFont->fid);
        XSetForeground(FDisplay, gc, white);
        XFillRectangle(FDisplay, window, gc, 0, 0, static_cast<unsigned int>(Width), static_cast<unsigned int>(Height));
        XSetForeground(FDisplay, gc, black);
        int baseline = kMargin + Ascent();
        for (const std::string& line : FLines) {
            XDrawString(FDisplay, window, gc, kMargin, baseline, line.data(), static_cast<int>(line.size()));
            baseline += LineHeight();
        }
        XDrawRectangle(FDisplay, window, gc, Button.Left, Button.Top, static_cast<unsigned int>(kButtonWidth - 1),
                       static_cast<unsigned int>(kButtonHeight - 1));
        const std::string ok = "OK";
        XDrawString(FDisplay, window, gc, Button.Left + (kButtonWidth - TextWidth(ok)) / 2,
                    Button.Top + (kButtonHeight + Ascent()) / 2 - 1, ok.data(), static_cast<int>(ok.size()));
        XFreeGC(FDisplay, gc);
    }

    int Width = 0;
    int Height = 0;
    Rect Button;

private:
    // The server's built-in font when "fixed" is missing has the same cell.
    int Ascent() const { return FFont != nullptr ? FFont->ascent : 10; }
    int LineHeight() const { return FFont != nullptr ? FFont->ascent + FFont->descent : 13; }
    int TextWidth(const std::string& text) const {
        return FFont != nullptr ? XTextWidth(FFont, text.data(), static_cast<int>(text.size()))
                                : 6 * static_cast<int>(text.size());
    }

    Display* FDisplay;
    std::vector<std::string> FLines;
    XFontStruct* FFont;
};

}  // namespace

void X11Application::ShowMessage(const std::string& text) {
    std::fprintf(stderr, "%s\n", OneLine(text).c_str());
    std::fflush(stderr);

    MessageBoxLayout layout(FDisplay, text);
    const Rect screen = VirtualScreen();
    WindowSpec request;
    request.Kind = WindowKind::Dialog;
    request.Caption = FTitle;
    request.Bounds = CentredIn(screen, layout.Width, layout.Height);

    bool closed = false;
    bool pressed = false;
    const int screenNumber = DefaultScreen(FDisplay);
    std::unique_ptr<Window> box;
    box = OpenWindow(request, [&](const Message& msg) {
        switch (msg.message) {
            case kWmPaint:
                layout.Paint(box->Handle(), BlackPixel(FDisplay, screenNumber), WhitePixel(FDisplay, screenNumber));
                return true;
            case kWmKeyDown:
                closed = closed || msg.wParam == kVkReturn || msg.wParam == kVkEscape || msg.wParam == kVkSpace;
                return true;
            case kWmLButtonDown:
                pressed = layout.InButton(PointX(msg.lParam), PointY(msg.lParam));
                return true;
            case kWmLButtonUp:
                closed = closed || (pressed && layout.InButton(PointX(msg.lParam), PointY(msg.lParam)));
                pressed = false;
                return true;
            case kWmClose:
                closed = true;
                return true;
            default:
                return false;
        }
    });
    auto* window = static_cast<X11Window*>(box.get());
    box->Show();
    while (!closed && window->Exists()) {
        XEvent event;
        XNextEvent(FDisplay, &event);
        for (const Message& msg : Translate(event))
            if (!IsInputMessage(msg.message) || msg.window == box->Handle()) Dispatch(msg);
    }
}

}  // namespace velora::platform::x11
