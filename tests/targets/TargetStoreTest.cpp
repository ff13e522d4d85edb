// The rule list seen through its window messages, sent from another thread
// to the program's real main window, as the settings window sends them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "MainWindowHost.h"
#include "TestSupport.h"
#include "app/Commands.h"
#include "monitor/Monitor.h"
#include "monitor/SystemLeadBytes.h"
#include "monitor/Tracked.h"
#include "targets/TargetStore.h"

#include <tlhelp32.h>
#include <set>

namespace {

MainWindowHost* g_host = nullptr;

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

  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return g_host->SendFromOtherThread(message, wParam, lParam);
  }

  static TargetRecord Rule(const char* name, uint8_t marker) {
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

  LRESULT Insert(WPARAM index, LPARAM parent, const TargetRecord& r) {
    B()->transferRecord = r;
    return Send(kMsgInsertRecord, index, parent);
  }

  TargetRecord Read(WPARAM index, LPARAM parent) {
    std::memset(&B()->transferRecord, 0xCC, sizeof(TargetRecord));
    EXPECT_EQ(Send(kMsgGetRecord, index, parent), 0);
    return B()->transferRecord;
  }

  // The whole list as the settings window would read it.
  std::string Snapshot() {
    std::string out;
    for (int32_t t = 0; t < B()->NumOfTargets; ++t) {
      const TargetRecord r = Read(t, -1);
      out.append(reinterpret_cast<const char*>(&r), sizeof r);
      const LRESULT children = Send(kMsgGetChildCount, t, 0);
      out += "#" + std::to_string(children);
      for (LRESULT c = 0; c < children; ++c) {
        const TargetRecord child = Read(c, t);
        out.append(reinterpret_cast<const char*>(&child), sizeof child);
      }
    }
    return out;
  }
};

bool SameRecord(const TargetRecord& a, const TargetRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(TargetStore, InsertIntoEmptyListAndAppend) {
  ASSERT_EQ(B()->targets, 0u);
  ASSERT_EQ(Insert(0, -1, Rule("first", 1)), 0);
  ASSERT_EQ(B()->NumOfTargets, 1);
  ASSERT_NE(B()->targets, 0u);
  ASSERT_EQ(Insert(1, -1, Rule("last", 2)), 0);
  ASSERT_EQ(Insert(1, -1, Rule("middle", 3)), 0);
  ASSERT_EQ(B()->NumOfTargets, 3);
  EXPECT_TRUE(SameRecord(Read(0, -1), Rule("first", 1)));
  EXPECT_TRUE(SameRecord(Read(1, -1), Rule("middle", 3)));
  EXPECT_TRUE(SameRecord(Read(2, -1), Rule("last", 2)));
}

TEST_F(TargetStore, NewTargetHasNoChildrenWhateverStoodThere) {
  ASSERT_EQ(Insert(0, -1, Rule("a", 1)), 0);
  ASSERT_EQ(Insert(0, 0, Rule("a-child", 9)), 0);
  ASSERT_EQ(Insert(1, 0, Rule("a-child2", 8)), 0);
  // Inserting at 0 moves "a" (with its children) to 1; the new entry at 0 is bare.
  ASSERT_EQ(Insert(0, -1, Rule("b", 2)), 0);
  EXPECT_EQ(Send(kMsgGetChildCount, 0, 0), 0);
  EXPECT_EQ(TargetsOf(B())[0].children, 0u);
  EXPECT_EQ(Send(kMsgGetChildCount, 1, 0), 2);
  EXPECT_TRUE(SameRecord(Read(0, 1), Rule("a-child", 9)));
  EXPECT_TRUE(SameRecord(Read(1, 1), Rule("a-child2", 8)));
}

TEST_F(TargetStore, DeletingATargetKeepsTheOthersChildren) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Insert(i, -1, Rule("t", static_cast<uint8_t>(i))), 0);
  ASSERT_EQ(Insert(0, 0, Rule("c0", 10)), 0);
  ASSERT_EQ(Insert(0, 2, Rule("c2", 12)), 0);
  ASSERT_EQ(Insert(1, 2, Rule("c2b", 13)), 0);
  ASSERT_EQ(Send(kMsgDeleteRecord, 0, -1), 0);
  ASSERT_EQ(B()->NumOfTargets, 2);
  EXPECT_TRUE(SameRecord(Read(0, -1), Rule("t", 1)));
  EXPECT_EQ(Send(kMsgGetChildCount, 0, 0), 0);
  EXPECT_EQ(Send(kMsgGetChildCount, 1, 0), 2);
  EXPECT_TRUE(SameRecord(Read(1, 1), Rule("c2b", 13)));
  // Deleting a child in the middle closes the gap.
  ASSERT_EQ(Send(kMsgDeleteRecord, 0, 1), 0);
  EXPECT_EQ(Send(kMsgGetChildCount, 1, 0), 1);
  EXPECT_TRUE(SameRecord(Read(0, 1), Rule("c2b", 13)));
}

TEST_F(TargetStore, DeletingTheOnlyTargetThenInsertingWorks) {
  ASSERT_EQ(Insert(0, -1, Rule("only", 1)), 0);
  ASSERT_EQ(Insert(0, 0, Rule("kid", 2)), 0);
  ASSERT_EQ(Send(kMsgDeleteRecord, 0, -1), 0);
  EXPECT_EQ(B()->NumOfTargets, 0);
  ASSERT_EQ(Insert(0, -1, Rule("again", 3)), 0);
  EXPECT_EQ(B()->NumOfTargets, 1);
  EXPECT_TRUE(SameRecord(Read(0, -1), Rule("again", 3)));
  EXPECT_EQ(Send(kMsgGetChildCount, 0, 0), 0);
}

TEST_F(TargetStore, SettingATargetLeavesItsChildren) {
  ASSERT_EQ(Insert(0, -1, Rule("old", 1)), 0);
  ASSERT_EQ(Insert(0, 0, Rule("kid", 2)), 0);
  B()->transferRecord = Rule("new", 5);
  ASSERT_EQ(Send(kMsgSetRecord, 0, -1), 0);
  EXPECT_TRUE(SameRecord(Read(0, -1), Rule("new", 5)));
  EXPECT_EQ(Send(kMsgGetChildCount, 0, 0), 1);
  EXPECT_TRUE(SameRecord(Read(0, 0), Rule("kid", 2)));
  B()->transferRecord = Rule("kid2", 6);
  ASSERT_EQ(Send(kMsgSetRecord, 0, 0), 0);
  EXPECT_TRUE(SameRecord(Read(0, 0), Rule("kid2", 6)));
}

TEST_F(TargetStore, WholeListReadsBackAsWritten) {
  for (int t = 0; t < 5; ++t) {
    ASSERT_EQ(Insert(t, -1, Rule("target", static_cast<uint8_t>(t))), 0);
    for (int c = 0; c < t; ++c) ASSERT_EQ(Insert(c, t, Rule("child", static_cast<uint8_t>(10 * t + c))), 0);
  }
  const std::string snapshot = Snapshot();
  for (int t = 0; t < 5; ++t) {
    EXPECT_TRUE(SameRecord(TargetsOf(B())[t].record, Rule("target", static_cast<uint8_t>(t))));
    ASSERT_EQ(TargetsOf(B())[t].NumOfChildren, t);
    for (int c = 0; c < t; ++c) {
      EXPECT_TRUE(SameRecord(ChildrenOf(&TargetsOf(B())[t])[c], Rule("child", static_cast<uint8_t>(10 * t + c))));
    }
  }
  EXPECT_EQ(Snapshot(), snapshot);
}

TEST_F(TargetStore, OutOfRangeRequestsChangeNothing) {
  ASSERT_EQ(Insert(0, -1, Rule("a", 1)), 0);
  ASSERT_EQ(Insert(1, -1, Rule("b", 2)), 0);
  ASSERT_EQ(Insert(0, 1, Rule("b-kid", 3)), 0);
  const std::string before = Snapshot();
  B()->transferRecord = Rule("intruder", 99);
  const TargetRecord transfer = B()->transferRecord;

  EXPECT_EQ(Send(kMsgInsertRecord, 3, -1), -1);         // past count
  EXPECT_EQ(Send(kMsgInsertRecord, 0, 2), -1);          // no such parent
  EXPECT_EQ(Send(kMsgInsertRecord, 2, 1), -1);          // past the child count
  EXPECT_EQ(Send(kMsgInsertRecord, static_cast<WPARAM>(-1), -1), -1);
  EXPECT_EQ(Send(kMsgSetRecord, 2, -1), -1);
  EXPECT_EQ(Send(kMsgSetRecord, 0, 0), -1);             // target 0 has no children
  EXPECT_EQ(Send(kMsgDeleteRecord, 2, -1), -1);
  EXPECT_EQ(Send(kMsgDeleteRecord, 1, 1), -1);
  EXPECT_EQ(Send(kMsgDeleteRecord, 0, 7), -1);
  EXPECT_TRUE(SameRecord(B()->transferRecord, transfer));
  EXPECT_EQ(Send(kMsgGetRecord, 5, -1), -1);
  EXPECT_EQ(Send(kMsgGetRecord, 0, 5), -1);
  EXPECT_TRUE(SameRecord(B()->transferRecord, transfer));  // a failed read copies nothing
  EXPECT_EQ(Send(kMsgGetChildCount, 2, 0), 0);
  EXPECT_EQ(Send(kMsgGetChildCount, static_cast<WPARAM>(-5), 0), 0);
  EXPECT_EQ(Snapshot(), before);

  Clear();
  EXPECT_EQ(Send(kMsgDeleteRecord, 0, -1), -1);  // empty list
  EXPECT_EQ(B()->NumOfTargets, 0);
}

TEST_F(TargetStore, ApplySettingsCopiesPendingWhole) {
  std::memset(&B()->pendingSettings, 0x5A, sizeof(SettingsRecord));
  B()->pendingSettings.monitorInterval = 1234;
  ASSERT_EQ(Send(kMsgApplySettings, 0, 0), 0);
  EXPECT_EQ(std::memcmp(&B()->activeSettings, &B()->pendingSettings, sizeof(SettingsRecord)), 0);
  EXPECT_EQ(B()->activeSettings.monitorInterval, 1234);
}

// Closes the message box that the failed insertion shows, once its text is
// there, and hands the text back.
class MessageBoxCloser {
 public:
  MessageBoxCloser() {
    watcher_ = std::thread([this] {
      const DWORD start = GetTickCount();
      while (!stop_ && GetTickCount() - start < 30000) {
        HWND box = FindOwnMessageBox();
        if (box) {
          char text[512] = {};
          GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
          text_ = text;
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          return;
        }
        Sleep(20);
      }
    });
  }
  ~MessageBoxCloser() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
  }
  std::string Text() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    return text_;
  }

 private:
  static HWND FindOwnMessageBox() {
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

TEST_F(TargetStore, FailedGrowthOfTargetsIsReportedAndChangesNothing) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Insert(i, -1, Rule("t", static_cast<uint8_t>(i))), 0);
  const std::string before = Snapshot();
  const uint32_t address = B()->targets;
  FailNextRuleGrowths(1);
  MessageBoxCloser closer;
  EXPECT_EQ(Insert(1, -1, Rule("new", 7)), -1);
  const std::string text = closer.Text();
  EXPECT_EQ(text.rfind("NumOfTargets: 3, ", 0), 0u) << text;
  EXPECT_GT(text.size(), std::string("NumOfTargets: 3, ").size()) << "the system's reason is missing";
  EXPECT_EQ(B()->targets, address);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(TargetStore, FailedGrowthOfChildrenIsReportedAndChangesNothing) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Insert(i, -1, Rule("t", static_cast<uint8_t>(i))), 0);
  ASSERT_EQ(Insert(0, 2, Rule("kid", 4)), 0);
  const std::string before = Snapshot();
  FailNextRuleGrowths(1);
  MessageBoxCloser closer;
  EXPECT_EQ(Insert(1, 2, Rule("kid2", 5)), -1);
  const std::string text = closer.Text();
  EXPECT_EQ(text.rfind("ParentNumber: 2, NumOfChildren: 1, ", 0), 0u) << text;
  EXPECT_EQ(Snapshot(), before);
  // The next insertion works again.
  EXPECT_EQ(Insert(1, 2, Rule("kid2", 5)), 0);
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

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

const TrackedWindow* TrackedEntry(const SharedBlock* block, HWND window) {
  const TrackedWindow* list = PointerOf<TrackedWindow>(block->tracked);
  for (int32_t i = 0; i < block->trackedCount; ++i) {
    if (list[i].hwnd == HandleValue(window)) return &list[i];
  }
  return nullptr;
}

// Every change pauses the real monitor thread and starts a new one, and the
// tracked list with its handled flags outlives the pause.
TEST_F(TargetStore, ChangesRestartTheMonitorAndKeepTheTrackedList) {
  LoadSystemLeadBytes();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainProc;
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
  expectRestart("set", [&] {
    B()->transferRecord = Rule("other2", 3);
    ASSERT_EQ(Send(kMsgSetRecord, 1, -1), 0);
  });
  expectRestart("delete", [&] { ASSERT_EQ(Send(kMsgDeleteRecord, 1, -1), 0); });
  expectRestart("apply", [&] { ASSERT_EQ(Send(kMsgApplySettings, 0, 0), 0); });
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
