#pragma once
// The help file's context numbers for the settings window and the rule
// editor: one per page and one per group of fields. The window asks the
// program for a topic with WM_USER+8, wParam 8 and the number as lParam.
#include <cstdint>

constexpr uint32_t kHelpSettingsWindow = 100;
constexpr uint32_t kHelpTargetList = 110;
constexpr uint32_t kHelpChildList = 120;
constexpr uint32_t kHelpInterval = 130;
constexpr uint32_t kHelpReapply = 131;
constexpr uint32_t kHelpOpenAtStart = 132;
constexpr uint32_t kHelpStartWithWindows = 133;
constexpr uint32_t kHelpMonitoring = 140;

constexpr uint32_t kHelpRuleEditor = 200;
constexpr uint32_t kHelpRuleName = 210;
constexpr uint32_t kHelpMatch = 220;
constexpr uint32_t kHelpFinder = 230;
constexpr uint32_t kHelpSize = 240;
constexpr uint32_t kHelpPosition = 250;
constexpr uint32_t kHelpActions = 260;
constexpr uint32_t kHelpEnabledOnce = 270;

// The topic for a control of either window; the page's own topic for a
// control without one of its own (pageTopic).
uint32_t HelpTopicOf(int controlId, uint32_t pageTopic);
