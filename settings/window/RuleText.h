#pragma once
// How a rule reads in the settings window's lists, in Japanese.
#include "settings/Text.h"
#include "shared/TargetRecord.h"

// "Notepad で始まる", "(すべて)", ...
TextBuffer DescribeMatch(uint8_t mode, const char* pattern);
// "大きさ 800×600、位置 左端・上端、前面へ", or "何もしない".
TextBuffer DescribeAction(const TargetRecord& record);
// The rule's name, or a stand-in for a rule without one.
TextBuffer DisplayName(const TargetRecord& record);
