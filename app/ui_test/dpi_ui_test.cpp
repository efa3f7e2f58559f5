// The three windows at 100, 125, 150 and 200 % scaling: every control where the layout puts
// it at 96 DPI, times the scale; the status panel's whole text inside its control; a move
// to a monitor of another scaling (WM_DPICHANGED, sent from here, as Wine never sends it);
// a frame larger than the screen kept inside the work area. At 150 % the windows are also
// photographed (the pictures show the program's icon on each of them: Wine lets no other
// process read a window class's icons).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/ui_test/ui_scenario_win32.h"
#include "test_support/temp_folder.h"

namespace uitest {
namespace {

constexpr wchar_t kLogViewerClass[] = L"Tolvan_LogViewer_Wnd";
constexpr wchar_t kFileManagerClass[] = L"Tolvan_FileManager_Wnd";

// A control's place at 96 DPI. In the tool windows a coordinate may count back from the
// client's right or bottom edge, and a width or height of 0 or less is the client's plus
// that number; `least` is a lower limit of the height (0: none).
struct Place {
    int id;
    int x;
    bool fromRight;
    int y;
    bool fromBottom;
    int width, height;
    int least = 0;
    int most = 0;
    // A list box shows whole items only: it may be shorter by up to one item's height.
    bool wholeItems = false;
};

// The control window's client area at 96 DPI and its controls, the status text in the tall form.
constexpr int kClientWidth = 680;
constexpr int kSmallClientHeight = 66;
constexpr int kTallClientHeight = 348;
const std::vector<Place> kControlPlaces = {
    {kLampId, 12, false, 17, false, 22, 22},
    {kStartStopId, 44, false, 12, false, 140, 32},
    {kFileManagerId, 194, false, 12, false, 140, 32},
    {kLogId, 344, false, 12, false, 140, 32},
    {kStatusId, 494, false, 12, false, 170, 32},
    {kStatusTextId, 12, false, 54, false, -24, -66, 60, 260},
};

// The tool windows' frames and controls at 96 DPI.
constexpr SIZE kLogViewerFrame = {760, 520};
const std::vector<Place> kLogViewerPlaces = {
    {3001, 12, false, 12, false, -24, -66},
    {3002, 12, false, -44, true, 130, 32},
    {3004, 152, false, -44, true, 130, 32},
    {3003, -142, true, -44, true, 130, 32},
};
constexpr SIZE kFileManagerFrame = {900, 560};
const std::vector<Place> kFileManagerPlaces = {
    {2007, 12, false, 12, false, 130, 32},
    {2005, 152, false, 12, false, 130, 32},
    {2003, 292, false, 12, false, 150, 32},
    {2006, 452, false, 12, false, 130, 32},
    {2002, 12, false, -44, true, 130, 32},
    {2004, -142, true, -44, true, 130, 32},
    {2001, 12, false, 54, false, -24, -108, 60, 0, true},
};

double Times(int pixels, UINT dpi) {
    return pixels * static_cast<double>(dpi) / 96.0;
}

bool Near(double expected, long actual) {
    return std::fabs(expected - static_cast<double>(actual)) <= 1.0;
}

// The control's rectangle in its parent's client coordinates.
RECT ControlRect(HWND parent, int id) {
    RECT r = {};
    HWND control = GetDlgItem(parent, id);
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Each control of the table lies at its place times dpi / 96, within one pixel; an edge
// that counts from the client's size is measured from the client as it is.
void ExpectLayout(HWND window, const std::vector<Place>& places, UINT dpi) {
    const SIZE client = ClientSize(window);
    for (const Place& place : places) {
        SCOPED_TRACE("control " + std::to_string(place.id) + " at " + std::to_string(dpi) + " DPI");
        const RECT r = ControlRect(window, place.id);
        const double x = (place.fromRight ? client.cx : 0) + Times(place.x, dpi);
        const double y = (place.fromBottom ? client.cy : 0) + Times(place.y, dpi);
        const double width = (place.width > 0 ? 0 : client.cx) + Times(place.width, dpi);
        double height = (place.height > 0 ? 0 : client.cy) + Times(place.height, dpi);
        if (place.most > 0 && height > Times(place.most, dpi)) height = Times(place.most, dpi);
        if (place.least > 0 && height < Times(place.least, dpi)) height = Times(place.least, dpi);
        EXPECT_TRUE(Near(x, r.left)) << x << " vs " << r.left;
        EXPECT_TRUE(Near(y, r.top)) << y << " vs " << r.top;
        EXPECT_TRUE(Near(width, r.right - r.left)) << width << " vs " << r.right - r.left;
        if (place.wholeItems) {
            const auto item = SendMessageW(GetDlgItem(window, place.id), LB_GETITEMHEIGHT, 0, 0);
            EXPECT_TRUE(Near(height, r.bottom - r.top) ||
                        (r.bottom - r.top < height && r.bottom - r.top >= height - static_cast<double>(item) - 1.0))
                << height << " vs " << r.bottom - r.top << ", items of " << item;
        } else {
            EXPECT_TRUE(Near(height, r.bottom - r.top)) << height << " vs " << r.bottom - r.top;
        }
    }
}

SIZE FrameSize(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

bool HasClientSize(HWND window, int width, int height, UINT dpi) {
    const SIZE client = ClientSize(window);
    return Near(Times(width, dpi), client.cx) && Near(Times(height, dpi), client.cy);
}

// The frame at the window's top-left corner around a client area of the given 96-DPI
// size at `dpi`, as Windows suggests it.
RECT SuggestedFrame(HWND window, int clientWidth, int clientHeight, UINT dpi) {
    RECT frame = {0, 0, static_cast<LONG>(std::lround(Times(clientWidth, dpi))),
                  static_cast<LONG>(std::lround(Times(clientHeight, dpi)))};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi);
    RECT now = {};
    GetWindowRect(window, &now);
    return RECT{now.left, now.top, now.left + frame.right - frame.left, now.top + frame.bottom - frame.top};
}

RECT WorkArea(HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

// The height the text needs when drawn with word wrap in `width` pixels in the controls'
// font at `dpi`, "Segoe UI" of 10 points. (A font handle of another process means nothing
// here, so the font is made again from its description.)
int WrappedTextHeight(const std::wstring& text, int width, UINT dpi) {
    HFONT copy = CreateFontW(-MulDiv(10, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
    if (copy == nullptr) return -1;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    RECT area = {0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(copy);
    return area.bottom - area.top;
}

// This process reads the windows' real pixels, not coordinates scaled down for a program
// that knows nothing of DPI. Set for the test's thread: Wine 8 has fixed the process's
// awareness by the time a test runs, and knows no version 2 of per-monitor awareness.
bool ThisThreadSeesRealPixels() {
    return SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) != nullptr ||
           SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE) != nullptr;
}

class DpiUi : public UiScenario, public testing::WithParamInterface<UINT> {
protected:
    HWND OpenToolWindow(HWND main, int buttonId, const wchar_t* className) {
        PostClick(main, buttonId);
        HWND window = nullptr;
        WaitUntil([&] {
            window = FindTopLevel(app_.id(), className);
            return window != nullptr && IsWindowVisible(window);
        });
        EXPECT_NE(window, nullptr) << "no window of class " << testing::PrintToString(std::wstring(className));
        return window;
    }

    // The status panel's whole text fits inside its control at `dpi`.
    void ExpectStatusTextFits(HWND main, UINT dpi) {
        const RECT r = ControlRect(main, kStatusTextId);
        const int needed = WrappedTextHeight(ControlText(main, kStatusTextId), r.right - r.left, dpi);
        EXPECT_GT(needed, 0);
        EXPECT_LE(needed, r.bottom - r.top) << "the status text is cut off at " << dpi << " DPI";
    }
};

TEST_P(DpiUi, EveryWindowIsLaidOutForItsDpiAndFollowsAChange) {
    ASSERT_TRUE(ThisThreadSeesRealPixels()) << GetLastError();
    const UINT dpi = GetParam();
    // The pictures for the documentation are taken at 150 %.
    auto photographed = [&](HWND window, const std::string& name) {
        return dpi != 144 || SaveScreenshot(window, ScreenshotFile(name + "_150.bmp"));
    };
    for (const wchar_t* name : {L"index.html", L"holiday photos.zip", L"notes.txt"}) {
        WriteFileBytes(WebRootFolder() / name, "a file of the Web Root\n");
    }
    HWND main = nullptr;
    {
        ScreenDpi screen(dpi);
        Launch();
        main = WaitForMain();
    }
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(HasClientSize(main, kClientWidth, kSmallClientHeight, dpi));
    ExpectLayout(main, std::vector<Place>(kControlPlaces.begin(), kControlPlaces.end() - 1), dpi);

    PostClick(main, kStatusId);
    ASSERT_TRUE(WaitUntil([&] {
        return IsWindowVisible(GetDlgItem(main, kStatusTextId)) &&
               HasClientSize(main, kClientWidth, kTallClientHeight, dpi);
    }));
    ASSERT_TRUE(WaitUntil([&] { return SplitLines(ControlText(main, kStatusTextId)).size() == 15; }));
    ExpectLayout(main, kControlPlaces, dpi);
    ExpectStatusTextFits(main, dpi);
    EXPECT_TRUE(photographed(main, "control_window_status"));

    HWND viewer = OpenToolWindow(main, kLogId, kLogViewerClass);
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(Near(Times(kLogViewerFrame.cx, dpi), FrameSize(viewer).cx));
    EXPECT_TRUE(Near(Times(kLogViewerFrame.cy, dpi), FrameSize(viewer).cy));
    ExpectLayout(viewer, kLogViewerPlaces, dpi);
    EXPECT_TRUE(photographed(viewer, "log_viewer"));

    HWND manager = OpenToolWindow(main, kFileManagerId, kFileManagerClass);
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(Near(Times(kFileManagerFrame.cx, dpi), FrameSize(manager).cx));
    EXPECT_TRUE(Near(Times(kFileManagerFrame.cy, dpi), FrameSize(manager).cy));
    ExpectLayout(manager, kFileManagerPlaces, dpi);
    EXPECT_TRUE(photographed(manager, "file_manager"));

    // Each window is moved to a monitor of another scaling: it takes the suggested frame
    // and lays itself out for the new DPI.
    const UINT moved = dpi == 192 ? 96 : dpi * 3 / 2;
    SCOPED_TRACE("moved to " + std::to_string(moved) + " DPI");
    RECT suggested = SuggestedFrame(main, kClientWidth, kTallClientHeight, moved);
    ASSERT_TRUE(SendDpiChanged(app_.handle(), main, moved, suggested));
    RECT frame = {};
    GetWindowRect(main, &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested));
    ExpectLayout(main, kControlPlaces, moved);
    ExpectStatusTextFits(main, moved);

    GetWindowRect(viewer, &frame);
    suggested = RECT{frame.left, frame.top, frame.left + static_cast<LONG>(Times(kLogViewerFrame.cx, moved)),
                     frame.top + static_cast<LONG>(Times(kLogViewerFrame.cy, moved))};
    ASSERT_TRUE(SendDpiChanged(app_.handle(), viewer, moved, suggested));
    GetWindowRect(viewer, &frame);
    EXPECT_TRUE(EqualRect(&frame, &suggested));
    ExpectLayout(viewer, kLogViewerPlaces, moved);

    // A frame beyond the monitor is kept inside its work area, the layout following it.
    const UINT huge = 4 * 96;
    GetWindowRect(manager, &frame);
    suggested = RECT{frame.left, frame.top, frame.left + static_cast<LONG>(Times(kFileManagerFrame.cx, huge)),
                     frame.top + static_cast<LONG>(Times(kFileManagerFrame.cy, huge))};
    ASSERT_TRUE(SendDpiChanged(app_.handle(), manager, huge, suggested));
    GetWindowRect(manager, &frame);
    const RECT work = WorkArea(manager);
    EXPECT_GE(frame.left, work.left);
    EXPECT_GE(frame.top, work.top);
    EXPECT_LE(frame.right, work.right);
    EXPECT_LE(frame.bottom, work.bottom);
    EXPECT_TRUE(frame.right == work.right || frame.left == work.left);
    ExpectLayout(manager, kFileManagerPlaces, huge);

    CloseAndExpectExitZero();
}

INSTANTIATE_TEST_SUITE_P(Scaling, DpiUi, testing::Values(96u, 120u, 144u, 192u),
                         [](const testing::TestParamInfo<UINT>& param) { return std::to_string(param.param) + "dpi"; });

}  // namespace
}  // namespace uitest
