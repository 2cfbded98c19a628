// The main window in process: the real window with its resources, driven by
// the messages the menus send, checked through its title, its menu states
// and the cells of the text screen. Suites whose tests go on-line use the
// virtual line COM3 <-> COM4.
#include "main_window.h"
#include "message_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "about_dialog.h"
#include "app_state.h"
#include "app_sys.h"
#include "controller.h"
#include "home_frames.h"
#include "resource.h"
#include "screen_cells.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "vantoro_version.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

namespace {

const char kStartTitle[] = "Vantoro (TM) Configuration Utility";
const char kOfflineTitle[] = "Vantoro(TM) \"home\" Configuration Tool: Offline";
const char kOnlineCom3Title[] = "Vantoro(TM) \"home\" Configuration Tool: COM3 online at 9600 baud";
constexpr int kCom3Command = IDM_COM1 + kLinePort;

class GuiMainWindow : public ::testing::Test {
protected:
    // The tool's state and window class start anew for each test.
    void SetUp() override {
        app = AppState{};
        appSys = AppSysTable{};
    }
    void TearDown() override {
        if (window_ && IsWindow(window_)) DestroyWindow(window_);
        for (int port = 0; port < 12; ++port) SioClosePort(port);
        UnregisterClassA(app.windowClass, GetModuleHandleA(nullptr));
        // A destroyed main window leaves WM_QUIT behind, which would end the
        // next test's modal loops at once.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    void CreateMainWindow() {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        ASSERT_NE(MainWindow::Register(instance), 0);
        window_ = MainWindow::Create(instance);
        ASSERT_NE(window_, nullptr);
    }

    void Command(int id) { SendMessageA(window_, WM_COMMAND, static_cast<WPARAM>(id), 0); }

    void GoOnLineOnCom3() {
        Command(kCom3Command);
        Command(IDM_ONLINE);
        ASSERT_EQ(Title(), kOnlineCom3Title);
    }

    std::string Title() const {
        char text[256] = "";
        GetWindowTextA(window_, text, sizeof text);
        return text;
    }

    UINT MenuState(int id) const {
        return GetMenuState(GetMenu(window_), static_cast<UINT>(id), MF_BYCOMMAND);
    }
    bool Checked(int id) const { return (MenuState(id) & MF_CHECKED) != 0; }
    bool Greyed(int id) const { return (MenuState(id) & MF_GRAYED) != 0; }

    void ExpectPortAndBaudItems(bool greyed) const {
        for (int id = IDM_COM1; id <= IDM_COM12; ++id) EXPECT_EQ(Greyed(id), greyed) << "item " << id;
        EXPECT_EQ(Greyed(IDM_BAUD_9600), greyed);
    }

    // Handles messages until done() holds or the time-out passed.
    template <typename Done>
    bool PumpUntil(Done done, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        return true;
    }

    HWND window_ = nullptr;
};

// The text the system gives for a port it does not have, as the library
// hands it on (with its one rewording), without the line end.
std::string MissingPortText() {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0x0800, text, sizeof text,
                   nullptr);
    std::string s = text;
    if (s == "The system cannot find the file specified.\r\n")
        s = "The system cannot find the port specified.\r\n";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

bool ScreenShows(const std::string& text) {
    for (int row = 0; row < ScreenCells::kRows; ++row)
        if (ScreenCells::Row(row).find(text) != std::string::npos) return true;
    return false;
}

TEST_F(GuiMainWindow, StartsOffLineOnCom1At9600WithTheApplicationTitle) {
    CreateMainWindow();
    EXPECT_EQ(Title(), kStartTitle);
    char className[64] = "";
    GetClassNameA(window_, className, sizeof className);
    EXPECT_STREQ(className, "Vantoro(TM)");
    EXPECT_TRUE(Checked(IDM_OFFLINE));
    EXPECT_FALSE(Checked(IDM_ONLINE));
    EXPECT_TRUE(Checked(IDM_COM1));
    EXPECT_TRUE(Checked(IDM_BAUD_9600));
    for (int id = IDM_COM1 + 1; id <= IDM_COM12; ++id) EXPECT_FALSE(Checked(id)) << "item " << id;
    ExpectPortAndBaudItems(false);
}

TEST_F(GuiMainWindow, WithoutATimerWarnsOnceAndStillWorks) {
    static int boxes;
    static std::string boxText, boxCaption;
    static UINT boxStyle;
    static HWND boxOwner;
    boxes = 0;
    appSys.SetTimer = [](HWND, UINT_PTR, UINT, TIMERPROC) WINAPI -> UINT_PTR { return 0; };
    appSys.MessageBoxA = [](HWND owner, LPCSTR text, LPCSTR caption, UINT style) WINAPI -> int {
        ++boxes;
        boxOwner = owner;
        boxText = text;
        boxCaption = caption;
        boxStyle = style;
        return IDOK;
    };
    CreateMainWindow();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(boxText, "No timers remaining !");
    EXPECT_EQ(boxCaption, "Info");
    EXPECT_EQ(boxStyle, static_cast<UINT>(MB_TASKMODAL | MB_ICONWARNING));
    EXPECT_EQ(boxOwner, nullptr);
    EXPECT_TRUE(IsWindow(window_));
    Command(IDM_HELP);
    EXPECT_TRUE(ScreenShows("Vantoro(TM) \"home\" Configuration Tool"));
}

TEST_F(GuiMainWindow, Com3ThenOnLineOpensPortIndex2AndGreysPortAndBaud) {
    CreateMainWindow();
    Command(kCom3Command);
    EXPECT_TRUE(Checked(kCom3Command));
    EXPECT_FALSE(Checked(IDM_COM1));
    Command(IDM_ONLINE);
    EXPECT_EQ(Title(), kOnlineCom3Title);
    EXPECT_NE(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(sio::portTable[0].handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Checked(IDM_ONLINE));
    EXPECT_FALSE(Checked(IDM_OFFLINE));
    ExpectPortAndBaudItems(true);
    EXPECT_FALSE(Greyed(IDM_ONLINE));

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(sio::portTable[kLinePort].handle, &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
}

TEST_F(GuiMainWindow, OnLineOnAMissingPortShowsTheSystemTextAndChangesNothing) {
    CreateMainWindow();
    Command(IDM_COM1 + kMissingPort);
    Command(IDM_ONLINE);
    EXPECT_EQ(ScreenCells::Row(0), MissingPortText());
    EXPECT_EQ(Title(), kStartTitle);
    EXPECT_TRUE(Checked(IDM_OFFLINE));
    EXPECT_FALSE(Checked(IDM_ONLINE));
    ExpectPortAndBaudItems(false);
    EXPECT_EQ(app.online, 0);
}

TEST_F(GuiMainWindow, OffLineClosesThePortAndRestoresTitleAndMenus) {
    CreateMainWindow();
    GoOnLineOnCom3();
    Command(IDM_OFFLINE);
    EXPECT_EQ(Title(), kOfflineTitle);
    EXPECT_EQ(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Checked(IDM_OFFLINE));
    EXPECT_FALSE(Checked(IDM_ONLINE));
    ExpectPortAndBaudItems(false);
    // A port closed once can be chosen and opened again.
    GoOnLineOnCom3();
}

TEST_F(GuiMainWindow, OnLineTwiceKeepsTheConnectionAndShowsTheSecondOpensError) {
    CreateMainWindow();
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    GoOnLineOnCom3();
    HANDLE first = sio::portTable[kLinePort].handle;
    Command(IDM_ONLINE);
    EXPECT_EQ(Title(), kOnlineCom3Title);
    EXPECT_EQ(sio::portTable[kLinePort].handle, first);
    EXPECT_EQ(sio::lastWinError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(ScreenCells::Row(0).empty()) << "the second open's error text is missing";

    ASSERT_TRUE(peer.Write("still here"));
    EXPECT_TRUE(PumpUntil([] { return ScreenShows("still here"); }, 3000));
}

// The device refuses the controller's rate: the port must not stay open at
// the open's 19200 baud while the title claims 9600.
TEST_F(GuiMainWindow, OnLineWhenTheDeviceRefuses9600ClosesThePortAndSaysSo) {
    CreateMainWindow();
    SysOverride guard;
    static decltype(sio::sys.SetCommState) realSetCommState;
    realSetCommState = sio::sys.SetCommState;
    sio::sys.SetCommState = [](HANDLE device, LPDCB dcb) WINAPI -> BOOL {
        if (dcb->BaudRate != 9600) return realSetCommState(device, dcb);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    };
    Command(kCom3Command);
    Command(IDM_ONLINE);
    EXPECT_TRUE(ScreenShows("Unsupported baud rate"));
    EXPECT_EQ(Title(), kStartTitle);
    EXPECT_EQ(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(app.online, 0);
    EXPECT_TRUE(Checked(IDM_OFFLINE));
    ExpectPortAndBaudItems(false);
}

// Frame 3 of 6 fails (or goes out short): the operator is told, and is not
// told to wait for a configuration that never reached the controller.
class GuiMainWindowFailedFrame : public GuiMainWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(GuiMainWindowFailedFrame, HomeOptionShowsTheErrorInsteadOfTheBanner) {
    static decltype(sio::sys.WriteFile) realWriteFile;
    static int writes;
    static bool cutShort;
    CreateMainWindow();
    GoOnLineOnCom3();
    SysOverride guard;
    realWriteFile = sio::sys.WriteFile;
    writes = 0;
    cutShort = GetParam();
    sio::sys.WriteFile = [](HANDLE device, LPCVOID data, DWORD count, LPDWORD done, LPOVERLAPPED ov)
                             WINAPI -> BOOL {
        if (++writes != 3) return realWriteFile(device, data, count, done, ov);
        if (cutShort) return realWriteFile(device, data, count - 4, done, ov);
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    };
    Command(IDM_HOME_OPTION1);
    EXPECT_EQ(writes, 6) << "every frame is still tried";
    EXPECT_TRUE(ScreenShows("Unknown code -13"));
    for (const char* line : {"=====", "configuration command was sent", "STOP, wait", "DONE,"})
        EXPECT_FALSE(ScreenShows(line)) << line;
}

INSTANTIATE_TEST_SUITE_P(GuiFrame3, GuiMainWindowFailedFrame, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& row) {
                             return std::string(row.param ? "Short" : "Failed");
                         });

// Port and baud commands that reach the window while on-line (the items are
// greyed, so only another program can send them) leave the open port alone.
TEST_F(GuiMainWindow, PortAndBaudCommandsWhileOnLineChangeNothing) {
    CreateMainWindow();
    GoOnLineOnCom3();
    Command(IDM_COM1 + 4);
    Command(IDM_BAUD_BASE);
    EXPECT_EQ(app.selectedPort, kLinePort);
    EXPECT_EQ(app.selectedBaud, 5);
    EXPECT_TRUE(Checked(kCom3Command));
    Command(IDM_OFFLINE);
    EXPECT_EQ(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
}

struct BaudCase {
    int commandId;
    int expectedEntry;
    const char* titleRate;
};

TEST_F(GuiMainWindow, BaudCommandsMoveTheCheckMarkAndTheTitleRate) {
    const BaudCase cases[] = {
        {IDM_BAUD_BASE, 0, "300"},        {IDM_BAUD_BASE + 2, 2, "1200"},  {IDM_BAUD_BASE + 4, 4, "4800"},
        {IDM_BAUD_9600, 5, "9600"},       {IDM_BAUD_BASE + 7, 7, "38400"}, {IDM_BAUD_LAST, 9, "115200"},
        {IDM_BAUD_BASE + 1, 9, "115200"},  // 25 is no command: nothing changes
    };
    CreateMainWindow();
    Command(kCom3Command);
    for (const BaudCase& c : cases) {
        Command(c.commandId);
        EXPECT_EQ(app.selectedBaud, c.expectedEntry) << "command " << c.commandId;
        Command(IDM_ONLINE);
        EXPECT_EQ(Title(), std::string("Vantoro(TM) \"home\" Configuration Tool: COM3 online at ") +
                               c.titleRate + " baud");
        Command(IDM_OFFLINE);
    }
    EXPECT_FALSE(Checked(IDM_BAUD_9600));  // the last entry chosen was 9, which has no item
}

TEST_F(GuiMainWindow, HelpFromTheLastRowLeavesTheInstructionsOnRows1To11) {
    const char* const expectedRows[] = {
        "",
        "Vantoro(TM) \"home\" Configuration Tool",
        "",
        "==================================================================",
        "1. Choose your Com port: e.g. Port, Com1",
        "2. Go on-line:           i.e. click Line, On-line",
        "3. Execute the command by clicking on the appropriate menu bar item",
        "                         e.g. 'Home_Option1'",
        "4. Wait for it to say 'Done'",
        "5. Choose Line, Exit to exit the program",
        "==================================================================",
    };
    CreateMainWindow();
    SendMessageA(window_, WM_COMMAND, IDM_HELP, 0);  // fills rows 0..22, cursor on row 23
    SendMessageA(window_, WM_COMMAND, IDM_HELP, 0);  // scrolls: cursor now on the last row
    ASSERT_EQ(ScreenCells::CursorRow(), ScreenCells::kRows - 1);
    ASSERT_EQ(ScreenCells::CursorCol(), 0);
    Command(IDM_HELP);
    for (int row = 1; row <= 11; ++row)
        EXPECT_EQ(ScreenCells::Row(row), expectedRows[row - 1]) << "row " << row;
    for (int row = 12; row <= 24; ++row) EXPECT_EQ(ScreenCells::Row(row), "") << "row " << row;
    EXPECT_EQ(ScreenCells::CursorRow(), 24);
    EXPECT_EQ(ScreenCells::CursorCol(), 0);
}

TEST_F(GuiMainWindow, PollShowsWhatThePeerSends) {
    CreateMainWindow();
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    GoOnLineOnCom3();
    ASSERT_TRUE(
        peer.Write("reply\x81\x0a"
                   "42"));  // 0x81 shows as 0x01; the line feed starts row 1
    EXPECT_TRUE(PumpUntil([] { return ScreenCells::Row(1) == "42"; }, 3000));
    EXPECT_EQ(ScreenCells::Row(0), std::string("reply\x01"));
}

TEST_F(GuiMainWindow, PollIgnoresReadErrors) {
    CreateMainWindow();
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    GoOnLineOnCom3();
    ASSERT_TRUE(peer.Write("hidden"));
    SysOverride guard;
    sio::sys.ReadFile = [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) WINAPI -> BOOL {
        SetLastError(ERROR_BROKEN_PIPE);
        return FALSE;
    };
    sio::sys.ClearCommError = [](HANDLE, LPDWORD, LPCOMSTAT) WINAPI -> BOOL {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    };
    for (int tick = 0; tick < 5; ++tick) SendMessageA(window_, WM_TIMER, IDT_POLL, 0);
    EXPECT_EQ(ScreenCells::Row(0), "");
    EXPECT_EQ(ScreenCells::CursorRow(), 0);
    EXPECT_EQ(ScreenCells::CursorCol(), 0);
    EXPECT_EQ(Title(), kOnlineCom3Title);
}

TEST_F(GuiMainWindow, ExitDestroysTheWindowAndLeavesTheOpenPortToTheSystem) {
    CreateMainWindow();
    GoOnLineOnCom3();
    Command(IDM_EXIT);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_NE(sio::portTable[kLinePort].handle, INVALID_HANDLE_VALUE);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(GuiMainWindow, OtherMessagesAndCommandIdsGoToTheDefaultProcedure) {
    CreateMainWindow();
    // WM_GETTEXTLENGTH is answered by the default procedure with the title's length.
    EXPECT_EQ(SendMessageA(window_, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(strlen(kStartTitle)));
    Command(23);
    Command(999);
    EXPECT_EQ(app.selectedPort, 0);
    EXPECT_EQ(app.selectedBaud, 5);
    EXPECT_EQ(ScreenCells::CursorRow(), 0);
}

// The About box: a thread timer fires inside the dialog's modal loop, looks
// at the box and ends it the way the test asks.
struct AboutVisit {
    HWND dialog = nullptr;
    HWND owner = nullptr;
    std::string caption, library, hint;
    std::vector<std::string> statics;
    int endWith = IDOK;  // IDOK: press OK; IDCANCEL: the close box
};
AboutVisit visit;

BOOL CALLBACK CollectStatic(HWND child, LPARAM) {
    char cls[32] = "", text[128] = "";
    GetClassNameA(child, cls, sizeof cls);
    GetWindowTextA(child, text, sizeof text);
    if (_stricmp(cls, "Static") == 0) visit.statics.push_back(text);
    return TRUE;
}

void CALLBACK VisitAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA("#32770", "About");
    if (!dialog) return;
    KillTimer(nullptr, timer);
    visit.dialog = dialog;
    visit.owner = GetWindow(dialog, GW_OWNER);
    char text[128] = "";
    GetWindowTextA(dialog, text, sizeof text);
    visit.caption = text;
    GetDlgItemTextA(dialog, IDC_ABOUT_LIBRARY, text, sizeof text);
    visit.library = text;
    GetDlgItemTextA(dialog, IDC_ABOUT_HINT, text, sizeof text);
    visit.hint = text;
    EnumChildWindows(dialog, CollectStatic, 0);
    if (visit.endWith == IDOK)
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    else
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(GuiMainWindow, AboutShowsItsTextsOwnedByTheMainWindowAndOkEndsIt) {
    CreateMainWindow();
    visit = AboutVisit{};
    ASSERT_NE(SetTimer(nullptr, 0, 20, VisitAboutBox), 0u);
    Command(IDM_ABOUT);  // returns when the box has ended
    ASSERT_NE(visit.dialog, nullptr) << "no About box appeared";
    EXPECT_FALSE(IsWindow(visit.dialog));
    EXPECT_EQ(visit.owner, window_);
    EXPECT_EQ(visit.caption, "About");
    EXPECT_EQ(visit.library, "Library 4.25.1");
    EXPECT_EQ(visit.hint, "Start with Help");
    for (const char* text : {"Vantoro(TM)", VANTORO_ABOUT_PRODUCT_LINE})
        EXPECT_NE(std::find(visit.statics.begin(), visit.statics.end(), text), visit.statics.end()) << text;
}

TEST_F(GuiMainWindow, AboutEndsWithTheCommandThatClosedIt) {
    CreateMainWindow();
    for (int endWith : {IDOK, IDCANCEL}) {
        visit = AboutVisit{};
        visit.endWith = endWith;
        ASSERT_NE(SetTimer(nullptr, 0, 20, VisitAboutBox), 0u);
        INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), window_,
                                         AboutDialogProc, 0);
        EXPECT_EQ(result, endWith);
    }
}

// A megabyte of random bytes from the far end while on-line. A second thread
// sends the poll message back to back (so the flood drains in seconds rather
// than at the timer's 10 KB a second) and times each round trip; the real
// timer keeps running beside it. The window must keep answering and the
// grid must stay sound.
class GuiMainWindowFlood : public GuiMainWindow {};

TEST_F(GuiMainWindowFlood, AMegabyteOfRandomBytesKeepsTheWindowAnsweringAndTheGridSound) {
    constexpr DWORD kFloodBytes = 1 << 20;
    CreateMainWindow();
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    GoOnLineOnCom3();

    std::atomic<bool> written{false}, stop{false};
    std::thread writer([&] {
        std::vector<char> chunk(4096);
        unsigned seed = 2024;
        for (DWORD sent = 0; sent < kFloodBytes && !stop; sent += static_cast<DWORD>(chunk.size())) {
            for (char& c : chunk) {
                seed = seed * 1103515245u + 12345u;
                c = static_cast<char>(seed >> 16);
            }
            if (!peer.Write(chunk.data(), static_cast<DWORD>(chunk.size()))) break;
        }
        written = true;
    });
    std::vector<double> tripsMs;
    HWND window = window_;
    std::thread prober([&] {
        LARGE_INTEGER frequency, before, after;
        QueryPerformanceFrequency(&frequency);
        while (!stop) {
            QueryPerformanceCounter(&before);
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutA(window, WM_TIMER, IDT_POLL, 0, SMTO_NORMAL, 10000, &result)) break;
            QueryPerformanceCounter(&after);
            tripsMs.push_back(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
        }
    });
    // Done when everything was written and the port's queue stays empty.
    int emptyChecks = 0;
    bool drained = PumpUntil(
        [&] {
            emptyChecks = (written && SioRxCount(kLinePort) == 0) ? emptyChecks + 1 : 0;
            return emptyChecks >= 20;
        },
        100000);
    stop = true;
    // The prober may be inside SendMessage: keep handling messages until it ends.
    std::atomic<bool> proberDone{false};
    std::thread joiner([&] {
        prober.join();
        proberDone = true;
    });
    PumpUntil([&] { return proberDone.load(); }, 20000);
    joiner.join();
    writer.join();

    ASSERT_TRUE(drained) << "the flood did not drain";
    ASSERT_FALSE(tripsMs.empty());
    std::sort(tripsMs.begin(), tripsMs.end());
    printf("flood: %u bytes, %zu polls, round trip median %.2f ms, 99th %.2f ms, max %.2f ms\n",
           static_cast<unsigned>(kFloodBytes), tripsMs.size(), tripsMs[tripsMs.size() / 2],
           tripsMs[tripsMs.size() * 99 / 100], tripsMs.back());
    EXPECT_LT(tripsMs.back(), 2000.0) << "the window stopped answering for a long time";
    EXPECT_EQ(ScreenCells::InvariantViolation(), "");
    EXPECT_EQ(Title(), kOnlineCom3Title);
}

TEST(MessageLoop, EndsWithTheQuitCodeOrMinusOneWhenTheQueueFails) {
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(nullptr), 7);
    AppSysTable saved = appSys;
    appSys.GetMessageA = [](LPMSG message, HWND, UINT, UINT) WINAPI -> BOOL {
        message->wParam = 12345;  // whatever the MSG held
        return -1;
    };
    EXPECT_EQ(RunMessageLoop(nullptr), -1);
    appSys = saved;
}

}  // namespace

// ---- On the virtual Windows driver: the home commands reach a controller --

namespace {

constexpr int kControllerPort = kPeerPort;  // COM4, the far end of COM3

// A simulated controller at the far end of the line, on its own thread: it
// answers every whole frame that arrives (refusing one when asked) and
// keeps what it received.
class ControllerThread {
public:
    explicit ControllerThread(int port = kControllerPort, long refuseFrame = 0, uint8_t refuseStatus = 0)
        : port_(port), thread_([this, refuseFrame, refuseStatus] { Run(refuseFrame, refuseStatus); }) {}
    ~ControllerThread() { Received(); }
    std::string Received() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return received_;
    }

private:
    void Run(long refuseFrame, uint8_t refuseStatus) {
        tmcl::SimulatedController controller;
        controller.RefuseFrame(refuseFrame, refuseStatus);
        std::string pending;
        char chunk[64];
        while (!stop_) {
            int got = SioReadBlock(port_, chunk, sizeof chunk);
            if (got > 0) {
                received_.append(chunk, static_cast<size_t>(got));
                pending.append(chunk, static_cast<size_t>(got));
            }
            while (pending.size() >= kFrameSize) {
                tmcl::Handling handling = controller.Handle(reinterpret_cast<const uint8_t*>(pending.data()));
                if (handling.answered)
                    SioWriteBlock(port_, reinterpret_cast<const char*>(handling.reply), kFrameSize);
                pending.erase(0, kFrameSize);
            }
            Sleep(1);
        }
    }

    int port_;
    std::atomic<bool> stop_{false};
    std::string received_;
    std::thread thread_;
};

std::string Frames(const HomeSequence& sequence) {
    std::string bytes;
    for (const char* frame : sequence.frames) bytes.append(frame, kFrameSize);
    return bytes;
}

// What the screen shows after the done line, the rows joined.
std::string AfterDoneLine() {
    std::string text;
    for (int row = 0; row < ScreenCells::kRows; ++row) text += ScreenCells::Row(row) + "\n";
    size_t done = text.rfind("DONE, command reply (if any) follows:");
    return done == std::string::npos ? "" : text.substr(done + 37);
}

// The driver outlives the window's tear-down, which closes the ports.
class GuiDriverWindow : public GuiMainWindow {
protected:
    VirtualSerialDriver driver_;
};

class GuiDriverHome : public GuiDriverWindow, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(GuiDriverHome, CommandSendsItsFramesAndTheRepliesFollowTheDoneLine) {
    CreateMainWindow();
    ASSERT_EQ(SioOpenPort(kControllerPort, 1024, 1024), 0);
    GoOnLineOnCom3();
    std::string received;
    {
        ControllerThread controller;
        Command(GetParam() == 1 ? IDM_HOME_OPTION1 : IDM_HOME_OPTION2);  // returns after the 2.5 s wait
        // A reply's status byte 100 ("d", success) arrives through the 100 ms poll.
        EXPECT_TRUE(PumpUntil([] { return AfterDoneLine().find('d') != std::string::npos; }, 3000));
        received = controller.Received();
    }
    EXPECT_TRUE(received == Frames(GetParam() == 1 ? kHomeOption1 : kHomeOption2)) << received.size();
}

// Named Gui so that ctest gives it the display to itself.
INSTANTIATE_TEST_SUITE_P(Gui, GuiDriverHome, ::testing::Values(1, 2));

namespace {

const char kConfirmed[] = "Result: the controller confirmed all six commands.";

bool RowReads(const std::string& text) {
    for (int row = 0; row < ScreenCells::kRows; ++row)
        if (ScreenCells::Row(row) == text) return true;
    return false;
}

}  // namespace

// The verdict follows the raw replies on a line of its own; the read-back
// then names the option the controller holds.
TEST_P(GuiDriverHome, ConfirmedVerdictThenTheReadBackNamesTheOption) {
    const int option = GetParam();
    CreateMainWindow();
    ASSERT_EQ(SioOpenPort(kControllerPort, 1024, 1024), 0);
    GoOnLineOnCom3();
    ControllerThread controller;
    Command(option == 1 ? IDM_HOME_OPTION1 : IDM_HOME_OPTION2);
    ASSERT_TRUE(PumpUntil([] { return RowReads(kConfirmed); }, 3000)) << AfterDoneLine();
    EXPECT_NE(AfterDoneLine().find('d'), std::string::npos) << "the raw replies are still shown";
    Command(IDM_READ_HOME);
    EXPECT_TRUE(RowReads(std::string("Home setting: ") + home::HomeOptionName(option) + " is set"));
}

TEST_F(GuiDriverWindow, VerdictSaysNoReplyWhenNothingAnswers) {
    CreateMainWindow();
    GoOnLineOnCom3();
    Command(IDM_HOME_OPTION2);
    EXPECT_TRUE(PumpUntil(
        [] { return RowReads("Result: no reply from the controller; the setting is not confirmed."); },
        3000));
    Command(IDM_READ_HOME);
    EXPECT_TRUE(ScreenShows("Cannot read the home setting: no answer from the controller on COM3"));
}

TEST_F(GuiDriverWindow, VerdictNamesTheRefusedCommandAndItsStatus) {
    CreateMainWindow();
    ASSERT_EQ(SioOpenPort(kControllerPort, 1024, 1024), 0);
    GoOnLineOnCom3();
    ControllerThread controller(kControllerPort, 4, tmcl::kStatusEepromLocked);
    Command(IDM_HOME_OPTION1);
    EXPECT_TRUE(PumpUntil(
        [] { return RowReads("Result: command 4 (store global parameter) refused: EEPROM locked (5)"); },
        3000));
}

TEST_F(GuiMainWindow, ReadBackOffLineShowsTheHomeCommandsOffLineText) {
    CreateMainWindow();
    Command(IDM_READ_HOME);
    EXPECT_EQ(ScreenCells::Row(2), "Cannot open COM port");
    EXPECT_EQ(ScreenCells::CursorRow(), 4);
}

// ---- Ports above COM12 ------------------------------------------------------

namespace {

// The system's serial-port map as the test machine has it, with COM15 and
// COM14 added (out of order, as a map may list them).
decltype(appSys.RegEnumValueA) realEnumValue;

LONG WINAPI MapWithHighPorts(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    LONG result = realEnumValue(key, index, name, nameSize, reserved, type, data, dataSize);
    static DWORD realCount;
    if (result != ERROR_NO_MORE_ITEMS) {
        realCount = index + 1;
        return result;
    }
    const char* extra[] = {"COM15", "COM14"};
    if (index - realCount >= 2) return ERROR_NO_MORE_ITEMS;
    lstrcpyA(name, "\\Device\\VirtualHigh");
    *type = REG_SZ;
    lstrcpyA(reinterpret_cast<char*>(data), extra[index - realCount]);
    *dataSize = static_cast<DWORD>(lstrlenA(extra[index - realCount]) + 1);
    return ERROR_SUCCESS;
}

// COM14 and COM15 are the virtual driver's COM3 and COM4 under other names.
decltype(sio::sys.CreateFileA) driverCreateFile;

HANDLE WINAPI RenamedHighPorts(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile) {
    std::string device = name;
    if (device == "\\\\.\\COM14") device = "\\\\.\\COM3";
    if (device == "\\\\.\\COM15") device = "\\\\.\\COM4";
    return driverCreateFile(device.c_str(), access, share, security, disposition, flags, templateFile);
}

std::vector<std::string> PortMenuItems(HWND window) {
    HMENU portMenu = GetSubMenu(GetMenu(window), 1);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(portMenu), 1);
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(portMenu); ++i) {
        char text[32] = "";
        GetMenuStringA(portMenu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        items.push_back(text[0] ? text : "-");
    }
    return items;
}

}  // namespace

TEST_F(GuiDriverWindow, PortMenuListsPortsAboveCom12AndOneOfThemGoesOnLine) {
    constexpr int kCom14 = 13;
    constexpr int kCom15 = 14;
    CreateMainWindow();
    driverCreateFile = sio::sys.CreateFileA;
    sio::sys.CreateFileA = RenamedHighPorts;
    realEnumValue = appSys.RegEnumValueA;
    appSys.RegEnumValueA = MapWithHighPorts;

    std::vector<std::string> items = PortMenuItems(window_);
    ASSERT_EQ(items.size(), 15u);
    EXPECT_EQ(items[11], "COM12");
    EXPECT_EQ(std::vector<std::string>(items.begin() + 12, items.end()),
              (std::vector<std::string>{"-", "COM14", "COM15"}));

    Command(IDM_PORT_BASE + kCom14);
    PortMenuItems(window_);
    EXPECT_TRUE(Checked(IDM_PORT_BASE + kCom14));
    EXPECT_FALSE(Checked(IDM_COM1));
    ASSERT_EQ(SioOpenPort(kCom15, 1024, 1024), 0);
    Command(IDM_ONLINE);
    EXPECT_EQ(Title(), "Vantoro(TM) \"home\" Configuration Tool: COM14 online at 9600 baud");
    PortMenuItems(window_);
    EXPECT_TRUE(Greyed(IDM_PORT_BASE + kCom14));
    EXPECT_TRUE(Greyed(IDM_PORT_BASE + kCom15));

    ControllerThread controller(kCom15);
    Command(IDM_HOME_OPTION1);
    EXPECT_TRUE(PumpUntil([] { return RowReads(kConfirmed); }, 3000));
    EXPECT_TRUE(controller.Received() == Frames(kHomeOption1));
    Command(IDM_OFFLINE);
    SioClosePort(kCom15);
    // The adapter is unplugged: its item stays, checked, and On Line says why it fails.
    appSys.RegEnumValueA = realEnumValue;
    items = PortMenuItems(window_);
    EXPECT_EQ(items.back(), "COM14");
    EXPECT_TRUE(Checked(IDM_PORT_BASE + kCom14));
    sio::sys.CreateFileA = driverCreateFile;
    Command(IDM_ONLINE);
    EXPECT_TRUE(ScreenShows(MissingPortText()));
    EXPECT_EQ(app.online, 0);
}
