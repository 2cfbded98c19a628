// Windows and pixels for tests that draw: TestWindow is a plain top-level
// window whose WM_PAINT does what the tool's main window does (BeginPaint,
// one logical unit per pixel, the caller's paint function, EndPaint); Canvas
// is a memory DC over a 32-bit top-down DIB whose pixels a test can read.
#pragma once

#include <windows.h>

class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    DWORD Pixel(int x, int y) const;  // 0x00RRGGBB

private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    DWORD* bits_;
};

using PaintFn = void (*)(HDC dc, const RECT& update);

class TestWindow {
public:
    // A window with the given client size; shown and painted when visible.
    TestWindow(int clientWidth, int clientHeight, bool visible, PaintFn paint);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }
    // Handles every message waiting for this thread.
    static void PumpMessages();
    // Copies the top-left of the client area, as shown, into canvas.
    void CaptureInto(Canvas& canvas) const;

private:
    HWND window_;
};
