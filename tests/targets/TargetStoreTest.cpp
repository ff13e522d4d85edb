// The rule list seen through its window messages, sent from another thread
// to the program's real main window, as the settings window sends them.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "MainWindowHost.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/Tracked.h"
#include "targets/TargetStore.h"

namespace {

MainWindowHost* g_host = nullptr;

TargetRecord Rule(const char* name, uint8_t marker) {
  TargetRecord r;
  std::memset(&r, 0, sizeof r);
  std::strcpy(r.titlePattern, name);
  r.titleMatch = kMatchEquals;
  r.reserved260[0] = static_cast<char>(marker);  // reserved bytes travel too
  r.reserved260[131] = static_cast<char>(marker);
  r.enabled = 1;
  r.widthSpec.value = marker;
  return r;
}

bool Same(const TargetRecord& a, const TargetRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class TargetStore : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { g_host = new MainWindowHost; }
  static void TearDownTestSuite() {
    delete g_host;
    g_host = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(g_host->Window(), nullptr);
    Clear();
  }
  void TearDown() override { Clear(); }

  SharedBlock* B() { return g_host->Block(); }
  void Clear() {
    while (B()->NumOfTargets > 0) ASSERT_EQ(Send(kMsgDeleteRecord, 0, -1), 0);
  }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return g_host->SendFromOtherThread(message, wParam, lParam); }
  LRESULT Insert(WPARAM index, LPARAM parent, const TargetRecord& r) {
    B()->transferRecord = r;
    return Send(kMsgInsertRecord, index, parent);
  }
  LRESULT Set(WPARAM index, LPARAM parent, const TargetRecord& r) {
    B()->transferRecord = r;
    return Send(kMsgSetRecord, index, parent);
  }
  TargetRecord Read(WPARAM index, LPARAM parent) {
    std::memset(&B()->transferRecord, 0xCC, sizeof(TargetRecord));
    EXPECT_EQ(Send(kMsgGetRecord, index, parent), 0);
    return B()->transferRecord;
  }
  LRESULT Children(WPARAM target) { return Send(kMsgGetChildCount, target, 0); }

  // The list as the settings window reads it: "title[child child] title".
  std::string Listing() {
    std::string out;
    for (int32_t t = 0; t < B()->NumOfTargets; ++t) {
      out += std::string(t ? " " : "") + Read(t, -1).titlePattern;
      const LRESULT children = Children(t);
      for (LRESULT c = 0; c < children; ++c) out += (c ? " " : "[") + std::string(Read(c, t).titlePattern);
      out += children ? "]" : "";
    }
    return out;
  }
};

TEST_F(TargetStore, InsertSetAndDeleteKeepEveryTargetsOwnChildren) {
  ASSERT_EQ(Insert(0, -1, Rule("first", 1)), 0);
  ASSERT_EQ(Insert(1, -1, Rule("last", 2)), 0);
  ASSERT_EQ(Insert(1, -1, Rule("middle", 3)), 0);
  ASSERT_EQ(Insert(0, 0, Rule("kid", 10)), 0);
  ASSERT_EQ(Insert(1, 0, Rule("kid2", 11)), 0);
  ASSERT_EQ(Insert(0, -1, Rule("new", 4)), 0);  // bare, whatever stood at 0 before
  EXPECT_EQ(Listing(), "new first[kid kid2] middle last");
  EXPECT_EQ(TargetsOf(B())[0].children, 0u);
  EXPECT_TRUE(Same(Read(1, -1), Rule("first", 1)));  // every byte travels, reserved ones too
  EXPECT_TRUE(Same(ChildrenOf(&TargetsOf(B())[1])[1], Rule("kid2", 11)));  // as the monitor reads it

  ASSERT_EQ(Set(1, -1, Rule("first2", 5)), 0);
  ASSERT_EQ(Set(1, 1, Rule("kid3", 12)), 0);
  EXPECT_EQ(Listing(), "new first2[kid kid3] middle last");
  ASSERT_EQ(Send(kMsgDeleteRecord, 0, -1), 0);
  ASSERT_EQ(Send(kMsgDeleteRecord, 0, 0), 0);
  EXPECT_EQ(Listing(), "first2[kid3] middle last");
  Clear();
  ASSERT_EQ(Insert(0, -1, Rule("again", 6)), 0);
  EXPECT_EQ(Listing(), "again");
}

TEST_F(TargetStore, OutOfRangeRequestsChangeNothing) {
  ASSERT_EQ(Insert(0, -1, Rule("a", 1)), 0);
  ASSERT_EQ(Insert(1, -1, Rule("b", 2)), 0);
  ASSERT_EQ(Insert(0, 1, Rule("b-kid", 3)), 0);
  const std::string before = Listing();
  B()->transferRecord = Rule("intruder", 99);
  const TargetRecord transfer = B()->transferRecord;

  EXPECT_EQ(Send(kMsgInsertRecord, 3, -1), -1);  // past count
  EXPECT_EQ(Send(kMsgInsertRecord, 0, 2), -1);   // no such parent
  EXPECT_EQ(Send(kMsgInsertRecord, 2, 1), -1);   // past the child count
  EXPECT_EQ(Send(kMsgInsertRecord, static_cast<WPARAM>(-1), -1), -1);
  EXPECT_EQ(Send(kMsgSetRecord, 2, -1), -1);
  EXPECT_EQ(Send(kMsgSetRecord, 0, 0), -1);  // target 0 has no children
  EXPECT_EQ(Send(kMsgDeleteRecord, 2, -1), -1);
  EXPECT_EQ(Send(kMsgDeleteRecord, 1, 1), -1);
  EXPECT_EQ(Send(kMsgDeleteRecord, 0, 7), -1);
  EXPECT_EQ(Send(kMsgGetRecord, 5, -1), -1);
  EXPECT_EQ(Send(kMsgGetRecord, 0, 5), -1);
  EXPECT_TRUE(Same(B()->transferRecord, transfer));  // a failed read copies nothing
  EXPECT_EQ(Children(2), 0);
  EXPECT_EQ(Children(static_cast<WPARAM>(-5)), 0);
  EXPECT_EQ(Listing(), before);

  Clear();
  EXPECT_EQ(Send(kMsgDeleteRecord, 0, -1), -1);  // empty list
}

// Closes the message box that a failed insertion shows, once it is there,
// and hands its text back.
class MessageBoxCloser {
 public:
  MessageBoxCloser()
      : watcher_([this] {
          HWND box = nullptr;
          if (!WaitFor([&] { return stop_ || (box = OwnMessageBox()) != nullptr; }, 30000) || !box) return;
          char text[512] = {};
          GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
          text_ = text;
          PostMessageA(box, WM_COMMAND, IDOK, 0);
        }) {}
  ~MessageBoxCloser() { Text(); }
  std::string Text() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    return text_;
  }

 private:
  static HWND OwnMessageBox() {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", nullptr))) {
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      if (pid == GetCurrentProcessId() && IsWindowVisible(window)) return window;
    }
    return nullptr;
  }
  std::atomic<bool> stop_{false};
  std::string text_;
  std::thread watcher_;
};

TEST_F(TargetStore, FailedGrowthIsReportedAndChangesNothing) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Insert(i, -1, Rule("t", static_cast<uint8_t>(i))), 0);
  ASSERT_EQ(Insert(0, 2, Rule("kid", 4)), 0);
  const std::string before = Listing();
  const uint32_t address = B()->targets;
  const struct {
    LPARAM parent;
    const char* text;
  } cases[] = {{-1, "NumOfTargets: 3, "}, {2, "ParentNumber: 2, NumOfChildren: 1, "}};
  for (const auto& c : cases) {
    FailNextRuleGrowths(1);
    MessageBoxCloser closer;
    EXPECT_EQ(Insert(1, c.parent, Rule("new", 7)), -1);
    const std::string text = closer.Text();
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    EXPECT_GT(text.size(), std::strlen(c.text)) << "the system's reason is missing";
    EXPECT_EQ(B()->targets, address);
    EXPECT_EQ(Listing(), before);
  }
  EXPECT_EQ(Insert(1, 2, Rule("kid2", 5)), 0);  // the next insertion works again
}

std::set<DWORD> ThreadIds() {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
  }
  CloseHandle(snapshot);
  return ids;
}

size_t CountNotIn(const std::set<DWORD>& a, const std::set<DWORD>& b) {
  size_t n = 0;
  for (DWORD id : a) n += b.count(id) == 0;
  return n;
}

const TrackedWindow* TrackedEntry(const SharedBlock* block, HWND window) {
  const TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
  for (int32_t i = 0; i < block->trackedCount; ++i) {
    if (list[i].hwnd == HandleValue(window)) return &list[i];
  }
  return nullptr;
}

// Every change pauses the real monitor thread and starts a new one, and the
// tracked list with its handled flags outlives the pause. Applying the
// settings copies the pending record whole.
TEST_F(TargetStore, ChangesRestartTheMonitorAndKeepTheTrackedList) {
  LoadSystemLeadBytes();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PlenaraStoreTracked";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "tracked", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 30, 200, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
  TargetRecord marker = Rule("", 1);
  marker.titleMatch = kMatchAny;
  marker.classMatch = kMatchEquals;
  std::strcpy(marker.classPattern, "PlenaraStoreTracked");
  marker.applyOnce = 1;  // nothing to do: it only marks the window handled
  ASSERT_EQ(Insert(0, -1, marker), 0);

  B()->activeSettings.monitorInterval = 50;
  B()->pendingSettings.monitorInterval = 50;
  B()->monitoringEnabled = 1;
  StartMonitorThread();
  ASSERT_TRUE(WaitFor([&] {
    const TrackedWindow* entry = TrackedEntry(B(), window);
    return entry && entry->handled;
  }));

  auto expectRestart = [&](const char* what, const std::function<void()>& change) {
    const std::set<DWORD> before = ThreadIds();
    change();
    const std::set<DWORD> after = ThreadIds();
    // The old monitor thread has ended and a new one runs.
    EXPECT_EQ(CountNotIn(before, after), 1u) << what;
    EXPECT_EQ(CountNotIn(after, before), 1u) << what;
    const TrackedWindow* entry = TrackedEntry(B(), window);
    ASSERT_NE(entry, nullptr) << what;
    EXPECT_EQ(entry->handled, 1) << what;
  };
  expectRestart("insert", [&] { ASSERT_EQ(Insert(1, -1, Rule("other", 2)), 0); });
  expectRestart("set", [&] { ASSERT_EQ(Set(1, -1, Rule("other2", 3)), 0); });
  expectRestart("delete", [&] { ASSERT_EQ(Send(kMsgDeleteRecord, 1, -1), 0); });
  expectRestart("apply", [&] {
    std::memset(&B()->pendingSettings, 0x5A, sizeof(SettingsRecord));
    B()->pendingSettings.monitorInterval = 50;
    ASSERT_EQ(Send(kMsgApplySettings, 0, 0), 0);
    EXPECT_EQ(std::memcmp(&B()->activeSettings, &B()->pendingSettings, sizeof(SettingsRecord)), 0);  // whole
  });
  expectRestart("failed insert", [&] {
    FailNextRuleGrowths(1);
    MessageBoxCloser closer;
    ASSERT_EQ(Insert(1, -1, Rule("fails", 4)), -1);
  });

  // With monitoring off no change starts a thread.
  StopMonitorThread();
  B()->monitoringEnabled = 0;
  const std::set<DWORD> idle = ThreadIds();
  ASSERT_EQ(Insert(1, -1, Rule("quiet", 5)), 0);
  ASSERT_EQ(Send(kMsgApplySettings, 0, 0), 0);
  EXPECT_EQ(CountNotIn(ThreadIds(), idle), 0u);

  FreeTrackedWindows();
  DestroyWindow(window);
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

}  // namespace
