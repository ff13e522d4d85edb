#include "settings/window/RuleListView.h"

#include <commctrl.h>

#include "settings/window/RuleFields.h"
#include "settings/window/RuleText.h"
#include "settings/window/Ui.h"
#include "settings/window/WindowIds.h"

namespace {

constexpr int kColumns = 6;
constexpr UINT kHeaders[kColumns] = {IDS_COL_NAME, IDS_COL_CLASS, IDS_COL_TITLE, IDS_COL_ACTION, IDS_COL_ENABLED,
                                     IDS_COL_ONCE};

void SetCell(HWND list, int row, int column, const TextBuffer& text) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.CString());
  SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

// Room the header takes around its text: its margins and the sort arrow's place.
constexpr int kHeaderPadding = 18;

// The text columns give way before the two flag columns.
constexpr size_t kFlagColumns = 4;
// A text column keeps at least this much of its text in sight.
constexpr int32_t kNarrowestColumn = 40;

// Each column as wide as its widest cell or its header, whichever is
// wider; together no wider than the list, a vertical scroll bar included,
// so that the flags stay in sight (a cut text shows whole as a tip when the
// mouse rests on it).
void SizeColumns(HWND list) {
  RECT client;
  GetClientRect(list, &client);
  int32_t widths[kColumns];
  for (int column = 0; column < kColumns; ++column) {
    SendMessageA(list, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
    int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    const TextBuffer header = LoadText(kHeaders[column]);
    const int headerWidth =
        static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(header.CString()))) +
        kHeaderPadding;
    widths[column] = width < headerWidth ? headerWidth : width;
  }
  const LONG style = GetWindowLongA(list, GWL_STYLE);
  const int32_t room = (client.right - client.left) - ((style & WS_VSCROLL) ? 0 : GetSystemMetrics(SM_CXVSCROLL));
  FitColumns(widths, kColumns, kFlagColumns, room, kNarrowestColumn);
  for (int column = 0; column < kColumns; ++column) SendMessageA(list, LVM_SETCOLUMNWIDTH, column, widths[column]);
}

}  // namespace

void SetUpRuleColumns(HWND list) {
  const DWORD styles = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP | LVS_EX_CHECKBOXES;
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  for (int column = 0; column < kColumns; ++column) {
    const TextBuffer header = LoadText(kHeaders[column]);
    LVCOLUMNA info = {};
    info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    info.pszText = const_cast<char*>(header.CString());
    info.cx = 60;
    info.iSubItem = column;
    SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
  }
  SizeColumns(list);
}

void FillRuleList(HWND list, const Array<const TargetRecord*>& records, const Array<int32_t>* childCounts) {
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  const TextBuffer yes = LoadText(IDS_YES);
  const TextBuffer no = LoadText(IDS_NO);
  for (size_t row = 0; row < records.Size(); ++row) {
    const TargetRecord& record = *records[row];
    const int32_t children = childCounts && row < childCounts->Size() ? (*childCounts)[row] : 0;
    const TextBuffer name =
        children > 0 ? FormatText(IDS_CHILD_COUNT, DisplayName(record).CString(), static_cast<int>(children))
                     : DisplayName(record);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(row);
    item.pszText = const_cast<char*>(name.CString());
    const int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    SetCell(list, at, 1, DescribeMatch(record.classMatch, record.classPattern));
    SetCell(list, at, 2, DescribeMatch(record.titleMatch, record.titlePattern));
    SetCell(list, at, 3, DescribeAction(record));
    SetCell(list, at, 4, record.enabled ? yes : no);
    SetCell(list, at, 5, record.applyOnce ? yes : no);
    LVITEMA check = {};
    check.stateMask = LVIS_STATEIMAGEMASK;
    check.state = INDEXTOSTATEIMAGEMASK(record.enabled ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, at, reinterpret_cast<LPARAM>(&check));
  }
  SizeColumns(list);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

bool RowChecked(HWND list, int row) {
  const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

int SelectedRow(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectRow(HWND list, int row) {
  LVITEMA clear = {};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  if (row < 0) return;
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
}
