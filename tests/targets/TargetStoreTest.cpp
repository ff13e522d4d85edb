// The rule list seen through its window messages, sent from another thread
// to the program's real main window, as the settings window sends them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <tuple>

#include "MainWindowHost.h"
#include "MonitorTestSupport.h"
#include "app/Commands.h"
#include "monitor/Monitor.h"
#include "targets/TargetStore.h"

namespace {

TargetRecord Rule(const char* name, uint8_t marker) {
  TargetRecord r;
  std::memset(&r, 0, sizeof r);
  std::strcpy(r.titlePattern, name);
  r.reserved260[0] = r.reserved260[131] = static_cast<char>(marker);  // reserved bytes travel too
  r.enabled = 1;
  r.widthSpec.value = marker;
  return r;
}

bool Same(const TargetRecord& a, const TargetRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Closes the message box a failed insertion shows, once it is there, and
// hands its text back ("" when none came).
std::string CloseMessageBox() {
  HWND box = nullptr;
  char text[512] = {};
  if (WaitFor([&] { return (box = FindWindowOfProcess("#32770", GetCurrentProcessId())) && IsWindowVisible(box); },
              20000)) {
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return text;
}

TEST(TargetStore, InsertGetSetDeleteWithChildrenAndEveryBadRequestChangesNothing) {
  MainWindowHost host;
  SharedBlock* block = host.Block();
  ASSERT_NE(host.Window(), nullptr);
  auto send = [&](UINT message, WPARAM index, LPARAM parent) { return host.SendFromOtherThread(message, index, parent); };
  auto with = [&](UINT message, WPARAM index, LPARAM parent, const TargetRecord& r) {
    block->transferRecord = r;
    return send(message, index, parent);
  };
  auto read = [&](WPARAM index, LPARAM parent) {
    std::memset(&block->transferRecord, 0xCC, sizeof(TargetRecord));
    EXPECT_EQ(send(kMsgGetRecord, index, parent), 0);
    return block->transferRecord;
  };
  // The list as the settings window reads it: "title[child child] title".
  auto listing = [&] {
    std::string out;
    for (int32_t t = 0; t < block->NumOfTargets; ++t) {
      out += std::string(t ? " " : "") + read(t, -1).titlePattern;
      const LRESULT children = send(kMsgGetChildCount, t, 0);
      for (LRESULT c = 0; c < children; ++c) out += (c ? " " : "[") + std::string(read(c, t).titlePattern);
      out += children ? "]" : "";
    }
    return out;
  };
  for (const auto& [index, parent, name] : {std::tuple{0, -1, "first"}, {1, -1, "last"}, {1, -1, "middle"},
                                            {0, 0, "kid"}, {1, 0, "kid2"}, {0, -1, "new"}}) {
    ASSERT_EQ(with(kMsgInsertRecord, index, parent, Rule(name, static_cast<uint8_t>(index + 2))), 0) << name;
  }
  EXPECT_EQ(listing(), "new first[kid kid2] middle last");  // a new target at 0 comes bare
  EXPECT_TRUE(Same(read(1, -1), Rule("first", 2)));     // every byte travels
  EXPECT_TRUE(Same(ChildrenOf(&TargetsOf(block)[1])[1], Rule("kid2", 3)));  // as the monitor reads it
  ASSERT_EQ(with(kMsgSetRecord, 1, 1, Rule("kid3", 9)), 0);
  ASSERT_EQ(send(kMsgDeleteRecord, 0, -1), 0);
  ASSERT_EQ(send(kMsgDeleteRecord, 0, 0), 0);
  const std::string before = listing();
  EXPECT_EQ(before, "first[kid3] middle last");

  block->transferRecord = Rule("intruder", 99);
  const TargetRecord transfer = block->transferRecord;
  for (const auto& [message, index, parent] :
       {std::tuple{kMsgInsertRecord, 4, -1}, {kMsgInsertRecord, 0, 3}, {kMsgInsertRecord, 2, 0},
        {kMsgInsertRecord, -1, -1}, {kMsgSetRecord, 3, -1}, {kMsgSetRecord, 0, 1}, {kMsgDeleteRecord, 3, -1},
        {kMsgDeleteRecord, 1, 0}, {kMsgGetRecord, 5, -1}, {kMsgGetRecord, 0, 5}}) {
    EXPECT_EQ(send(message, static_cast<WPARAM>(index), parent), -1) << message << " " << index << " " << parent;
  }
  EXPECT_TRUE(Same(block->transferRecord, transfer));  // a failed read copies nothing
  EXPECT_EQ(send(kMsgGetChildCount, static_cast<WPARAM>(-5), 0), 0);
  EXPECT_EQ(listing(), before);

  // Growth that fails is reported with the system's reason and changes nothing.
  const uint32_t address = block->targets;
  for (const auto& [parent, report] : {std::pair{-1, "NumOfTargets: 3, "}, {0, "ParentNumber: 0, NumOfChildren: 1, "}}) {
    FailNextRuleGrowths(1);
    std::string text;
    std::thread closer([&] { text = CloseMessageBox(); });
    EXPECT_EQ(with(kMsgInsertRecord, 1, parent, Rule("new", 7)), -1);
    closer.join();
    EXPECT_EQ(text.rfind(report, 0), 0u) << text;
    EXPECT_GT(text.size(), std::strlen(report)) << "the system's reason is missing";
    EXPECT_EQ(block->targets, address);
    EXPECT_EQ(listing(), before);
  }
  EXPECT_EQ(with(kMsgInsertRecord, 1, 0, Rule("kid4", 5)), 0);  // the next insertion works again
  while (block->NumOfTargets > 0) ASSERT_EQ(send(kMsgDeleteRecord, 0, -1), 0);

  // While monitoring, every change pauses the monitor thread and starts it
  // again, and the windows it handled stay handled: a once-only rule puts
  // each new window at x = 10, once.
  Fixture& fixture = SharedFixture();
  const auto open = [&] { return fixture.Top("PlenaraStoreMark", "mark", Box{300, 40, 160, 90}); };
  HWND first = open();
  ASSERT_TRUE(fixture.Ready() && first);
  TargetRecord rule = MoveXRule("PlenaraStoreMark", 10);
  rule.applyOnce = 1;
  ASSERT_EQ(with(kMsgInsertRecord, 0, -1, rule), 0);
  block->activeSettings.monitorInterval = block->pendingSettings.monitorInterval = 50;
  block->monitoringEnabled = 1;
  StartMonitorThread();
  ASSERT_TRUE(ReachesX(first, 10));
  MoveXTo(first, 300);
  for (const auto& [message, index, parent] : {std::tuple{kMsgApplySettings, 0, 0}, {kMsgInsertRecord, 1, -1},
                                               {kMsgInsertRecord, 0, 0}, {kMsgSetRecord, 1, -1},
                                               {kMsgDeleteRecord, 0, 0}, {kMsgDeleteRecord, 1, -1}}) {
    SCOPED_TRACE(message);
    EXPECT_EQ(with(message, index, parent, rule), 0);
    HWND next = open();
    EXPECT_TRUE(ReachesX(next, 10)) << "the monitor thread was not started again";
    EXPECT_EQ(BoxOf(first).x, 300) << "a handled window was handled again";
  }

  // A window of this thread, the main window's, moved back at every scan
  // while fifty changes each stop the monitor and start it again.
  HWND own = CreateWindowA("Static", "own", WS_OVERLAPPED | WS_VISIBLE, 300, 40, 160, 90, nullptr, nullptr, nullptr,
                           nullptr);
  const TargetRecord everyScan = MoveXRule("Static", 10, "own");
  block->activeSettings.monitorInterval = 0;
  Watchdog watchdog(90000);
  for (int i = 0; i < 50; ++i) {
    MoveXTo(own, 300);
    ASSERT_EQ(with(kMsgSetRecord, 0, -1, everyScan), 0);
    ASSERT_TRUE(ReachesX(own, 10)) << i;
  }
  // A thread that runs while the flag says off is stopped by a change all the same.
  block->monitoringEnabled = 0;
  ASSERT_EQ(with(kMsgSetRecord, 0, -1, everyScan), 0);
  MoveXTo(own, 300);
  EXPECT_FALSE(ReachesX(own, 10, 1000)) << "a monitor thread still runs";
  StopMonitorThread();
  DestroyWindow(own);
  fixture.DestroyAll();
}

}  // namespace
