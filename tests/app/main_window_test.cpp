// The main window in process: the real window with its resources, driven by
// the messages the menus send, checked through its title, its menu states
// and the cells of the text screen. Suites whose tests go on-line use the
// virtual line COM3 <-> COM4.
#include "main_window.h"
#include "message_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app_state.h"
#include "app_sys.h"
#include "controller.h"
#include "home_frames.h"
#include "resource.h"
#include "screen_cells.h"
#include "sio.h"
#include "sio_state.h"
#include "sys_override.h"
#include "sys_table.h"
#include "virtual_line.h"
#include "virtual_serial_driver.h"

namespace {

const char kStartTitle[] = "Vantoro (TM) Configuration Utility";
const char kOfflineTitle[] = "Vantoro(TM) \"home\" Configuration Tool: Offline";
const char kOnlineCom3Title[] = "Vantoro(TM) \"home\" Configuration Tool: COM3 online at 9600 baud";
constexpr int kCom3Command = IDM_COM1 + kLinePort;

// The system's text for an error as the library hands it on (with its one
// rewording), without the line end.
std::string SystemText(DWORD error) {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0x0800, text, sizeof text, nullptr);
    std::string s = text;
    if (s == "The system cannot find the file specified.\r\n")
        s = "The system cannot find the port specified.";
    s.erase(s.find_last_not_of("\r\n") + 1);
    return s;
}

bool ScreenShows(const std::string& text) {
    for (int row = 0; row < ScreenCells::kRows; ++row)
        if (ScreenCells::Row(row).find(text) != std::string::npos) return true;
    return false;
}

bool RowReads(const std::string& text) {
    for (int row = 0; row < ScreenCells::kRows; ++row)
        if (ScreenCells::Row(row) == text) return true;
    return false;
}

// Each test starts with a new tool state and its main window created.
class GuiMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        app = AppState{};
        appSys = AppSysTable{};
        BeforeCreate();
        HINSTANCE instance = GetModuleHandleA(nullptr);
        ASSERT_NE(MainWindow::Register(instance), 0);
        window_ = MainWindow::Create(instance);
        ASSERT_NE(window_, nullptr);
    }
    virtual void BeforeCreate() {}
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

    // The title, the Line items and the Port and Baud items (greyed while
    // on-line, On Line never) as they are on-line or off-line.
    void ExpectLineState(bool online, const char* title) const {
        EXPECT_EQ(Title(), title);
        EXPECT_EQ(Checked(IDM_ONLINE), online);
        EXPECT_EQ(Checked(IDM_OFFLINE), !online);
        EXPECT_FALSE(Greyed(IDM_ONLINE));
        for (int id = IDM_COM1; id <= IDM_COM12; ++id) EXPECT_EQ(Greyed(id), online) << "item " << id;
        EXPECT_EQ(Greyed(IDM_BAUD_9600), online);
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

HANDLE LineHandle() { return sio::portTable[kLinePort].handle; }

TEST_F(GuiMainWindow, StartsOffLineOnCom1At9600WithTheApplicationTitle) {
    ExpectLineState(false, kStartTitle);  // the class name is what the end-to-end runs find it by
    EXPECT_TRUE(Checked(IDM_BAUD_9600));
    for (int id = IDM_COM1; id <= IDM_COM12; ++id) EXPECT_EQ(Checked(id), id == IDM_COM1) << "item " << id;
}

class GuiMainWindowWithoutTimer : public GuiMainWindow {
protected:
    static inline std::string boxes;  // one line per box shown
    void BeforeCreate() override {
        boxes.clear();
        appSys.SetTimer = [](HWND, UINT_PTR, UINT, TIMERPROC) WINAPI -> UINT_PTR { return 0; };
        appSys.MessageBoxA = [](HWND owner, LPCSTR text, LPCSTR caption, UINT style) WINAPI -> int {
            boxes += std::string(caption) + ": " + text + (owner ? " (owned)" : "") + " style " +
                     std::to_string(style) + "\n";
            return IDOK;
        };
    }
};

TEST_F(GuiMainWindowWithoutTimer, WarnsOnceAndStillWorks) {
    EXPECT_EQ(boxes,
              "Info: No timers remaining ! style " + std::to_string(MB_TASKMODAL | MB_ICONWARNING) + "\n");
    Command(IDM_HELP);
    EXPECT_TRUE(ScreenShows("Vantoro(TM) \"home\" Configuration Tool"));
}

// Port choice, On Line, Off Line and On Line again: title and menus change
// with the port really opened and closed.
TEST_F(GuiMainWindow, Com3OnLineOpensPortIndex2AndOffLineClosesIt) {
    Command(kCom3Command);
    EXPECT_TRUE(Checked(kCom3Command));
    EXPECT_FALSE(Checked(IDM_COM1));
    Command(IDM_ONLINE);
    ExpectLineState(true, kOnlineCom3Title);
    EXPECT_NE(LineHandle(), INVALID_HANDLE_VALUE);
    Command(IDM_OFFLINE);
    ExpectLineState(false, kOfflineTitle);
    EXPECT_EQ(LineHandle(), INVALID_HANDLE_VALUE);
    GoOnLineOnCom3();
}

TEST_F(GuiMainWindow, OnLineOnAMissingPortShowsTheSystemTextAndChangesNothing) {
    Command(IDM_COM1 + kMissingPort);
    Command(IDM_ONLINE);
    EXPECT_EQ(ScreenCells::Row(0), SystemText(ERROR_FILE_NOT_FOUND));
    ExpectLineState(false, kStartTitle);
}

// The second open's error is shown; the connection stays and its poll goes
// on showing what the far end sends.
TEST_F(GuiMainWindow, OnLineTwiceKeepsTheConnectionAndShowsTheSecondOpensError) {
    Peer peer(kPeerPort);
    ASSERT_TRUE(peer.ok());
    GoOnLineOnCom3();
    HANDLE first = LineHandle();
    Command(IDM_ONLINE);
    EXPECT_EQ(Title(), kOnlineCom3Title);
    EXPECT_EQ(LineHandle(), first);
    EXPECT_EQ(ScreenCells::Row(0), SystemText(ERROR_ACCESS_DENIED));

    ASSERT_TRUE(peer.Write("still here"));
    EXPECT_TRUE(PumpUntil([] { return ScreenShows("still here"); }, 3000));
}

// The device refuses the controller's rate: the port must not stay open at
// the open's 19200 baud while the title claims 9600.
TEST_F(GuiMainWindow, OnLineWhenTheDeviceRefuses9600ClosesThePortAndSaysSo) {
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
    ExpectLineState(false, kStartTitle);
    EXPECT_EQ(LineHandle(), INVALID_HANDLE_VALUE);
}

// The frames fail: the operator is told, and no verdict is started on a
// configuration that never reached the controller (the sequence's lines for
// each failed or short frame are proven with the sequence).
TEST_F(GuiMainWindow, FailedFrameShowsTheErrorAndStartsNoVerdict) {
    GoOnLineOnCom3();
    SysOverride guard;
    sio::sys.WriteFile = [](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) WINAPI -> BOOL {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    };
    Command(IDM_HOME_OPTION1);
    EXPECT_TRUE(ScreenShows("Unknown code -13"));
    EXPECT_FALSE(PumpUntil([] { return ScreenShows("Result:"); }, 1500)) << "a verdict was started";
}

// Port and baud commands that reach the window while on-line (the items are
// greyed, so only another program can send them) leave the open port alone.
TEST_F(GuiMainWindow, PortAndBaudCommandsWhileOnLineChangeNothing) {
    GoOnLineOnCom3();
    Command(IDM_COM1 + 4);
    Command(IDM_BAUD_BASE);
    EXPECT_TRUE(Checked(kCom3Command));
    EXPECT_TRUE(Checked(IDM_BAUD_9600));
    Command(IDM_OFFLINE);
    EXPECT_EQ(LineHandle(), INVALID_HANDLE_VALUE);
}

// The rate chosen shows in the title; the line always runs at 9600.
TEST_F(GuiMainWindow, BaudCommandsMoveTheCheckMarkAndTheTitleRateNotTheLineRate) {
    const std::pair<int, const char*> cases[] = {
        {IDM_BAUD_BASE, "300"},        {IDM_BAUD_BASE + 2, "1200"},  {IDM_BAUD_BASE + 4, "4800"},
        {IDM_BAUD_9600, "9600"},       {IDM_BAUD_BASE + 7, "38400"}, {IDM_BAUD_LAST, "115200"},
        {IDM_BAUD_BASE + 1, "115200"},  // 25 is no command: nothing changes
    };
    Command(kCom3Command);
    for (const auto& [command, rate] : cases) {
        Command(command);
        EXPECT_EQ(Checked(IDM_BAUD_9600), command == IDM_BAUD_9600) << "command " << command;
        Command(IDM_ONLINE);
        EXPECT_EQ(Title(),
                  std::string("Vantoro(TM) \"home\" Configuration Tool: COM3 online at ") + rate + " baud");
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(GetCommState(LineHandle(), &dcb));
        EXPECT_EQ(dcb.BaudRate, 9600u) << "the line runs at the controller's rate, whatever the title says";
        Command(IDM_OFFLINE);
    }
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
    Command(IDM_HELP);  // fills rows 0..22, cursor on row 23
    Command(IDM_HELP);  // scrolls: cursor now on the last row
    ASSERT_EQ(ScreenCells::CursorRow(), ScreenCells::kRows - 1);
    ASSERT_EQ(ScreenCells::CursorCol(), 0);
    Command(IDM_HELP);
    for (int row = 1; row <= 11; ++row)
        EXPECT_EQ(ScreenCells::Row(row), expectedRows[row - 1]) << "row " << row;
    for (int row = 12; row <= 24; ++row) EXPECT_EQ(ScreenCells::Row(row), "") << "row " << row;
    EXPECT_EQ(ScreenCells::CursorRow(), 24);
    EXPECT_EQ(ScreenCells::CursorCol(), 0);
}

TEST_F(GuiMainWindow, PollIgnoresReadErrors) {
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
    GoOnLineOnCom3();
    Command(IDM_EXIT);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_NE(LineHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(GuiMainWindow, OtherMessagesAndCommandIdsGoToTheDefaultProcedure) {
    // WM_GETTEXTLENGTH is answered by the default procedure with the title's length.
    EXPECT_EQ(SendMessageA(window_, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(strlen(kStartTitle)));
    Command(23);
    Command(999);
    EXPECT_TRUE(Checked(IDM_COM1));
    EXPECT_TRUE(Checked(IDM_BAUD_9600));
    EXPECT_EQ(ScreenCells::CursorRow(), 0);
}

// The About box (found by its caption): a thread timer fires inside the
// dialog's modal loop, checks the box and ends it as the test asks. Its
// fixed texts are checked from another process by the end-to-end run.
HWND aboutOwner;
HWND aboutSeen;
int aboutEndWith;  // IDOK: press OK; IDCANCEL: the close box

void CALLBACK VisitAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA("#32770", "About");
    if (!dialog) return;
    KillTimer(nullptr, timer);
    aboutSeen = dialog;
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), aboutOwner);
    char text[64] = "";
    GetDlgItemTextA(dialog, IDC_ABOUT_LIBRARY, text, sizeof text);
    EXPECT_STREQ(text, "Library 4.25.1");
    GetDlgItemTextA(dialog, IDC_ABOUT_HINT, text, sizeof text);
    EXPECT_STREQ(text, "Start with Help");
    if (aboutEndWith == IDOK)
        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    else
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(GuiMainWindow, AboutShowsItsTextsOwnedByTheMainWindowAndOkOrTheCloseBoxEndsIt) {
    aboutOwner = window_;
    for (int endWith : {IDOK, IDCANCEL}) {
        aboutSeen = nullptr;
        aboutEndWith = endWith;
        ASSERT_NE(SetTimer(nullptr, 0, 20, VisitAboutBox), 0u);
        Command(IDM_ABOUT);  // returns when the box has ended
        ASSERT_NE(aboutSeen, nullptr) << "no About box appeared";
        EXPECT_FALSE(IsWindow(aboutSeen));
    }
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

TEST_F(GuiMainWindow, ReadBackOffLineShowsTheHomeCommandsOffLineText) {
    Command(IDM_READ_HOME);
    EXPECT_EQ(ScreenCells::Row(2), "Cannot open COM port");
    EXPECT_EQ(ScreenCells::CursorRow(), 4);
}

// ---- On the virtual Windows driver: the home commands reach a controller --

constexpr int kControllerPort = kPeerPort;  // COM4, the far end of COM3

// A simulated controller at the far end of the line, on its own thread: it
// answers every whole frame that arrives and keeps what it received.
class ControllerThread {
public:
    ControllerThread() : thread_([this] { Run(); }) {}
    ~ControllerThread() {
        stop_ = true;
        thread_.join();
    }
    std::string Received() {
        std::lock_guard<std::mutex> hold(lock_);
        return received_;
    }

private:
    void Run() {
        tmcl::SimulatedController controller;
        std::string pending;
        char chunk[64];
        while (!stop_) {
            int got = SioReadBlock(kControllerPort, chunk, sizeof chunk);
            if (got > 0) {
                std::lock_guard<std::mutex> hold(lock_);
                received_.append(chunk, static_cast<size_t>(got));
                pending.append(chunk, static_cast<size_t>(got));
            }
            while (pending.size() >= kFrameSize) {
                tmcl::Handling handling = controller.Handle(reinterpret_cast<const uint8_t*>(pending.data()));
                if (handling.answered)
                    SioWriteBlock(kControllerPort, reinterpret_cast<const char*>(handling.reply), kFrameSize);
                pending.erase(0, kFrameSize);
            }
            Sleep(1);
        }
    }

    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::string received_;
    std::thread thread_;
};

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

// The frames go out, the raw replies follow the done line, the verdict
// follows them on a line of its own, and the read-back names the option
// the controller now holds.
TEST_P(GuiDriverHome, CommandSendsItsFramesThenTheVerdictAndTheReadBackNameTheOption) {
    const int option = GetParam();
    ASSERT_EQ(SioOpenPort(kControllerPort, 1024, 1024), 0);
    GoOnLineOnCom3();
    ControllerThread controller;
    Command(option == 1 ? IDM_HOME_OPTION1 : IDM_HOME_OPTION2);  // returns after the 2.5 s wait
    ASSERT_TRUE(
        PumpUntil([] { return RowReads("Result: the controller confirmed all six commands."); }, 3000))
        << AfterDoneLine();
    std::string frames;
    for (const char* frame : (option == 1 ? kHomeOption1 : kHomeOption2).frames)
        frames.append(frame, kFrameSize);
    EXPECT_TRUE(controller.Received() == frames);
    // A reply's status byte 100 ("d", success) arrived through the 100 ms poll.
    EXPECT_NE(AfterDoneLine().find('d'), std::string::npos) << "the raw replies are not shown";
    Command(IDM_READ_HOME);
    EXPECT_TRUE(RowReads(std::string("Home setting: ") + home::HomeOptionName(option) + " is set"));
}

// Named Gui so that ctest gives it the display to itself.
INSTANTIATE_TEST_SUITE_P(Gui, GuiDriverHome, ::testing::Values(1, 2));

TEST_F(GuiDriverWindow, VerdictSaysNoReplyWhenNothingAnswers) {
    GoOnLineOnCom3();
    Command(IDM_HOME_OPTION2);
    EXPECT_TRUE(PumpUntil(
        [] { return RowReads("Result: no reply from the controller; the setting is not confirmed."); },
        3000));
    Command(IDM_READ_HOME);
    EXPECT_TRUE(ScreenShows("Cannot read the home setting: no answer from the controller on COM3"));
}

// ---- Ports above COM12 ------------------------------------------------------

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

// The home sequence on a port above COM12 reaching a controller is the
// end-to-end run's: here the menu, which only this process can read.
TEST_F(GuiDriverWindow, PortMenuListsPortsAboveCom12AndOneOfThemGoesOnLine) {
    constexpr int kCom255 = 254;
    constexpr int kCom256 = 255;  // the driver has COM255 and COM256

    std::vector<std::string> items = PortMenuItems(window_);
    ASSERT_EQ(items.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(items.begin() + 11, items.end()),
              (std::vector<std::string>{"COM12", "-", "COM255", "COM256"}));

    Command(IDM_PORT_BASE + kCom255);
    PortMenuItems(window_);
    EXPECT_TRUE(Checked(IDM_PORT_BASE + kCom255));
    EXPECT_FALSE(Checked(IDM_COM1));
    Command(IDM_ONLINE);
    EXPECT_EQ(Title(), "Vantoro(TM) \"home\" Configuration Tool: COM255 online at 9600 baud");
    PortMenuItems(window_);
    EXPECT_TRUE(Greyed(IDM_PORT_BASE + kCom255));
    EXPECT_TRUE(Greyed(IDM_PORT_BASE + kCom256));
    Command(IDM_OFFLINE);
    // The adapter is unplugged (the system's own ports only): its item stays, checked.
    sio::sys.QueryDosDeviceA = ::QueryDosDeviceA;
    items = PortMenuItems(window_);
    EXPECT_EQ(items.back(), "COM255");
    EXPECT_TRUE(Checked(IDM_PORT_BASE + kCom255));
}

}  // namespace
