#pragma once
// The two rule lists of the settings window: one row per rule, with its
// name, conditions, what it does and its two flags; a check box in each row
// switches the rule on and off.
#include <windows.h>

#include "settings/Text.h"
#include "shared/TargetRecord.h"

void SetUpRuleColumns(HWND list);

// Replaces the rows and sizes the columns to their content within the
// list's width. childCounts (for targets) adds each one's child rules to its name.
void FillRuleList(HWND list, const Array<const TargetRecord*>& records, const Array<int32_t>* childCounts = nullptr);

// Whether a row's check box is ticked.
bool RowChecked(HWND list, int row);

// The selected row, or -1.
int SelectedRow(HWND list);
// Selects and focuses a row and scrolls it into view; -1 selects nothing.
void SelectRow(HWND list, int row);
