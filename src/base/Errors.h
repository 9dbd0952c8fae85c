#pragma once
// The failure texts of the engine, the platforms, the picture decoder and
// velora-skyshow's choice of backend, and the two exception kinds that carry
// them. velora-skyshow's command-line messages are its options parser's
// (shell/SaverOptions.cpp).
#include <stdexcept>
#include <string>

namespace velora {

namespace msg {
inline constexpr const char* kWindowHandleRequired = "Window handle required";
inline constexpr const char* kGetDcFailed = "GetDC() failed";
inline constexpr const char* kInitOpenGlFailed = "InitOpenGL() failed";
inline constexpr const char* kCreateRenderingContextFailed = "CreateRenderingContext() failed";
inline constexpr const char* kOsErrorWithCode = "System Error.  Code: %d.\n%s";
inline constexpr const char* kOsErrorUnknown = "A call to an OS function failed";
inline constexpr const char* kCannotOpenDisplay = "cannot open display \"%s\"";
inline constexpr const char* kPictureIncomplete = "The picture's pixels do not fill its size";
inline constexpr const char* kJpegDecodeFailed = "Cannot decode the JPEG picture: ";
inline constexpr const char* kJpegTooLarge = "%ux%u pixels is more than the %lld allowed";
inline constexpr const char* kUnknownPictureLanguage = "Unknown language of the donation picture";
inline constexpr const char* kFollowParentUnsupported = "This system's windows cannot follow a foreign parent's size";
inline constexpr const char* kCannotConnectCompositor = "cannot connect to the Wayland compositor \"%s\"";
inline constexpr const char* kNoSurfaceShell =
    "the Wayland compositor offers neither layer-shell nor xdg-shell surfaces";
inline constexpr const char* kCompositorProtocolError = "the Wayland compositor reported a protocol error";
inline constexpr const char* kCompositorLost = "lost the connection to the Wayland compositor";
inline constexpr const char* kEglErrorCode = "EGL error 0x%04x";
inline constexpr const char* kNoWaylandSupport = "this build has no Wayland support";
inline constexpr const char* kNoWebGl2 = "this browser gives the canvas no WebGL 2 context";
inline constexpr const char* kPageHasNoForeignWindows = "A web page cannot draw into another program's window";
inline constexpr const char* kPageCanvasInUse = "The page's canvas already belongs to another window";
inline constexpr const char* kBrowserCannotDecodeJpeg = "the browser cannot decode it";
inline constexpr const char* kWebGlShaderFailed = "WebGL 2 cannot build the line shaders: ";
inline constexpr const char* kNoIdleProtocol =
    "the session tells no idle time: its compositor offers neither ext-idle-notify-v1 nor org_kde_kwin_idle, "
    "and no GNOME idle monitor answers on the session bus";
inline constexpr const char* kSessionBusLost = "lost the connection to the session bus";
}  // namespace msg

// A failure with a message text for the user.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failed call into the operating system, with its error code (0: none).
class EOSError : public Exception {
public:
    EOSError(int code, const std::string& description);
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

}  // namespace velora
