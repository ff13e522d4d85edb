#pragma once
// The two rule lists of the settings window: one row per rule, with its
// name, conditions, what it does and its two flags.
#include <windows.h>

#include "settings/Text.h"
#include "shared/TargetRecord.h"

void SetUpRuleColumns(HWND list);

// Replaces the rows and sizes every column to its content.
void FillRuleList(HWND list, const Array<const TargetRecord*>& records);

// The selected row, or -1.
int SelectedRow(HWND list);
// Selects and focuses a row and scrolls it into view; -1 selects nothing.
void SelectRow(HWND list, int row);
