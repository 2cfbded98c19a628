#include "test_window.h"

namespace {

constexpr char kClassName[] = "TestPaintWindow";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return ::DefWindowProcA(window, message, wParam, lParam);
    auto paint = reinterpret_cast<PaintFn>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    ::SetMapMode(dc, MM_ANISOTROPIC);  // default extents: one unit per pixel
    if (paint) paint(dc, ps.rcPaint);
    ::EndPaint(window, &ps);
    return 0;
}

void RegisterOnce() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    registered = ::RegisterClassA(&wc) != 0;
}

}  // namespace

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = ::CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<DWORD*>(bits);
    previous_ = ::SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
}

DWORD Canvas::Pixel(int x, int y) const {
    ::GdiFlush();
    return bits_[y * width_ + x] & 0x00FFFFFF;
}

TestWindow::TestWindow(int clientWidth, int clientHeight, bool visible, PaintFn paint) {
    RegisterOnce();
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    window_ =
        ::CreateWindowExA(0, kClassName, "test", WS_OVERLAPPEDWINDOW, 10, 10, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!window_) return;
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(paint));
    if (visible) {
        ::ShowWindow(window_, SW_SHOWNORMAL);
        ::UpdateWindow(window_);
    }
    PumpMessages();
}

TestWindow::~TestWindow() {
    if (window_) ::DestroyWindow(window_);
}

void TestWindow::PumpMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void TestWindow::CaptureInto(Canvas& canvas) const {
    HDC windowDc = ::GetDC(window_);
    ::BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), windowDc, 0, 0, SRCCOPY);
    ::ReleaseDC(window_, windowDc);
}
