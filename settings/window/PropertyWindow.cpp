#include "settings/window/PropertyWindow.h"

#include <commctrl.h>
#include <commdlg.h>

#include <windowsx.h>

#include <cstring>

#include "app/Commands.h"
#include "settings/BlockSettings.h"
#include "settings/CompanionState.h"
#include "settings/SettingsFormat.h"
#include "settings/window/HelpTopics.h"
#include "settings/window/RuleChannel.h"
#include "settings/window/RuleEditor.h"
#include "settings/window/RuleFields.h"
#include "settings/window/RuleListView.h"
#include "settings/window/RuleText.h"
#include "settings/window/StartupEntry.h"
#include "settings/window/Ui.h"
#include "settings/window/WindowIds.h"
#include "settings/window/WindowMemory.h"

namespace {

constexpr UINT_PTR kIntervalTimer = 1;  // takes a typed interval into force once typing pauses
constexpr UINT kIntervalPauseMs = 800;
constexpr UINT_PTR kSettleTimer = 2;  // after an unanswered change: reads the list again once the program answers
constexpr UINT kSettleEveryMs = 1000;
constexpr DWORD kSettleWaitMs = 200;
// A row's check box was clicked: taken up once the list has finished its notice.
constexpr UINT kMsgRowChecked = WM_APP + 1;

// Lives on the stack of RunPropertyWindow, so it outlives the window and
// every nested loop (rule editor, message box) that might see it close.
struct PropertyWindow {
  explicit PropertyWindow(SharedBlock& b) : block(b), channel(b) {}

  SharedBlock& block;
  RuleChannel channel;
  RuleList list;
  HWND dialog = nullptr;
  HWND targets = nullptr;
  HWND children = nullptr;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  bool destroyed = false;
  bool closing = false;          // WM_CLOSE came: nothing more goes to the program
  bool filling = false;          // the lists are being refilled: selection notices are ours
  bool settingInterval = false;  // the interval field is being set: not the user typing
  bool intervalDirty = false;    // typed and not yet in force
  bool statusIsError = false;
  int lastMonitoring = -1;
  uint32_t listReads = 0;  // readings of the list: a row taken before a new reading may name another rule
  bool listBehind = false;  // an exchange went unanswered: the list is read again before anything changes
};

int32_t SelectedTarget(const PropertyWindow& w) {
  const int row = SelectedRow(w.targets);
  return row >= 0 && static_cast<size_t>(row) < w.list.Size() ? row : -1;
}

int32_t SelectedChild(const PropertyWindow& w) {
  const int32_t target = SelectedTarget(w);
  if (target < 0) return -1;
  const int row = SelectedRow(w.children);
  return row >= 0 && static_cast<size_t>(row) < w.list[target].children.Size() ? row : -1;
}

void SetStatus(PropertyWindow& w, const char* text, bool error) {
  w.statusIsError = error;
  SetFieldText(w.dialog, IDC_STATUS, text);
}

void SetStatus(PropertyWindow& w, const TextBuffer& text, bool error) { SetStatus(w, text.CString(), error); }

void UpdateButtons(PropertyWindow& w) {
  HWND d = w.dialog;
  const bool program = w.channel.HasProgram();
  const int32_t target = SelectedTarget(w);
  const int32_t count = static_cast<int32_t>(w.list.Size());
  EnableField(d, IDC_TARGET_ADD, program);
  EnableField(d, IDC_TARGET_EDIT, program && target >= 0);
  EnableField(d, IDC_TARGET_COPY, program && target >= 0);
  EnableField(d, IDC_TARGET_DELETE, program && target >= 0);
  EnableField(d, IDC_TARGET_UP, program && target > 0);
  EnableField(d, IDC_TARGET_DOWN, program && target >= 0 && target + 1 < count);
  const int32_t child = SelectedChild(w);
  const int32_t childCount = target >= 0 ? static_cast<int32_t>(w.list[target].children.Size()) : 0;
  EnableField(d, IDC_CHILD_ADD, program && target >= 0);
  EnableField(d, IDC_CHILD_EDIT, program && child >= 0);
  EnableField(d, IDC_CHILD_COPY, program && child >= 0);
  EnableField(d, IDC_CHILD_DELETE, program && child >= 0);
  EnableField(d, IDC_CHILD_UP, program && child > 0);
  EnableField(d, IDC_CHILD_DOWN, program && child >= 0 && child + 1 < childCount);
  MoveFocusOffDisabled(d);
}

void FillChildren(PropertyWindow& w, int32_t pickChild) {
  const int32_t target = SelectedTarget(w);
  Array<const TargetRecord*> records;
  if (target >= 0) {
    for (const TargetRecord& child : w.list[target].children) records.Append(&child);
  }
  w.filling = true;
  FillRuleList(w.children, records);
  const int32_t count = static_cast<int32_t>(records.Size());
  SelectRow(w.children, pickChild >= 0 && pickChild < count ? pickChild : (count > 0 ? 0 : -1));
  w.filling = false;
}

void Refill(PropertyWindow& w, RulePick pick) {
  Array<const TargetRecord*> records;
  Array<int32_t> childCounts;
  for (const TargetRules& target : w.list) {
    records.Append(&target.record);
    childCounts.Append(static_cast<int32_t>(target.children.Size()));
  }
  w.filling = true;
  FillRuleList(w.targets, records, &childCounts);
  const int32_t count = static_cast<int32_t>(records.Size());
  int32_t row = pick.target;
  if (row >= count) row = count - 1;
  if (row < 0 && count > 0) row = 0;
  SelectRow(w.targets, row);
  w.filling = false;
  FillChildren(w, pick.child);
  UpdateButtons(w);
}

RulePick CurrentPick(const PropertyWindow& w) { return {SelectedTarget(w), SelectedChild(w)}; }

void SaveNow(PropertyWindow& w) {
  if (WriteSettingFromBlock(w.block)) {
    SetStatus(w, LoadText(IDS_SAVED), false);
  } else {
    SetStatus(w, LoadText(IDS_SAVE_FAILED), true);
  }
}

void StartSettling(PropertyWindow& w) {
  w.listBehind = true;
  SetTimer(w.dialog, kSettleTimer, kSettleEveryMs, nullptr);
}

// The program did not answer in time: the user hears of it, and the list is
// read again as soon as the program answers.
void ReportNoAnswer(PropertyWindow& w) {
  StartSettling(w);
  SetStatus(w, LoadText(IDS_NO_ANSWER), true);
  ShowMessage(w.dialog, LoadText(IDS_NO_ANSWER), MB_OK | MB_ICONWARNING);
}

void Reload(PropertyWindow& w, RulePick pick) {
  const Sent sent = w.channel.ReadList(w.list);
  if (sent == Sent::kNoAnswer) StartSettling(w);
  if (sent == Sent::kDone) {
    ++w.listReads;
    w.listBehind = false;
  }
  Refill(w, pick);
}

// What the user asked for was worked out on a list that the program has
// changed since: nothing is done, and the user sees the list as it is now.
void ReportListChanged(PropertyWindow& w) {
  SetStatus(w, LoadText(IDS_LIST_CHANGED), true);
  ShowMessage(w.dialog, LoadText(IDS_LIST_CHANGED), MB_OK | MB_ICONWARNING);
}

void Execute(PropertyWindow& w, const RulePlan& plan) {
  if (plan.complete && plan.steps.Empty()) return;
  if (!w.channel.HasProgram()) {
    ShowMessage(w.dialog, LoadText(IDS_NO_PROGRAM), MB_OK | MB_ICONWARNING);
    return;
  }
  // An earlier change went unanswered and may have been made late: the
  // plan's indices may now name other rules.
  if (w.listBehind || w.channel.Unsettled()) {
    if (!w.channel.Settle()) {
      ReportNoAnswer(w);
      return;
    }
    KillTimer(w.dialog, kSettleTimer);
    Reload(w, CurrentPick(w));
    ReportListChanged(w);
    return;
  }
  const RulePick before = CurrentPick(w);
  const Sent sent = RunPlan(w.channel, plan, w.list);
  if (w.destroyed) return;
  switch (sent) {
    case Sent::kDone:
      Refill(w, plan.pick);
      SaveNow(w);
      break;
    case Sent::kRefused:
      Reload(w, before);
      SetStatus(w, LoadText(IDS_NOT_APPLIED), true);
      ShowMessage(w.dialog, LoadText(IDS_NOT_APPLIED), MB_OK | MB_ICONWARNING);
      break;
    case Sent::kNoAnswer:
      Refill(w, before);
      ReportNoAnswer(w);
      break;
  }
}


void EditAndRun(PropertyWindow& w, bool child, bool adding) {
  const int32_t target = SelectedTarget(w);
  const int32_t index = child ? SelectedChild(w) : target;
  if ((child && target < 0) || (!adding && index < 0)) return;
  RuleEditorRequest request;
  request.channel = &w.channel;
  request.list = &w.list;
  request.child = child;
  request.adding = adding;
  request.parent = child ? target : kNoParent;
  request.record = adding ? DefaultRule() : (child ? w.list[target].children[index] : w.list[target].record);
  RuleEditorResult result;
  const uint32_t reads = w.listReads;
  const bool confirmed = EditRule(w.dialog, request, result);
  if (w.destroyed || !confirmed) return;
  // A list read again meanwhile may hold other rules at the rows taken
  // before; a new target goes at the end and needs none of them.
  const bool oldRows = !adding || child || result.placement == Placement::kChildOfTarget;
  if (oldRows && w.listReads != reads) {
    ReportListChanged(w);
    return;
  }
  if (!adding) {
    Execute(w, EditPlan(index, child ? target : kNoParent, result.record));
    return;
  }
  switch (result.placement) {
    case Placement::kAsAsked:
      Execute(w, child ? AddChildPlan(w.list, target, result.record) : AddTargetPlan(w.list, result.record));
      break;
    case Placement::kChildOfTarget:
      Execute(w, AddChildPlan(w.list, result.parent, result.record));
      break;
    case Placement::kChildOfNewTarget:
      Execute(w, AddTargetWithChildPlan(w.list, result.newParent, result.record));
      break;
  }
}

void DeleteSelected(PropertyWindow& w, bool child) {
  const int32_t target = SelectedTarget(w);
  const int32_t index = child ? SelectedChild(w) : target;
  if (target < 0 || index < 0) return;
  TextBuffer question;
  if (child) {
    question = FormatText(IDS_CONFIRM_DELETE_CHILD, DisplayName(w.list[target].children[index]).CString());
  } else if (!w.list[target].children.Empty()) {
    question = FormatText(IDS_CONFIRM_DELETE_TARGET_CHILDREN, DisplayName(w.list[target].record).CString(),
                          static_cast<int>(w.list[target].children.Size()));
  } else {
    question = FormatText(IDS_CONFIRM_DELETE_TARGET, DisplayName(w.list[target].record).CString());
  }
  const uint32_t reads = w.listReads;
  const int answer = ShowMessage(w.dialog, question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (w.destroyed || answer != IDYES) return;
  // The list was read again while the question was up: the row may be another rule now.
  if (w.listReads != reads) {
    ReportListChanged(w);
    return;
  }
  Execute(w, DeletePlan(w.list, index, child ? target : kNoParent));
}

void CopySelected(PropertyWindow& w, bool child) {
  const int32_t target = SelectedTarget(w);
  const int32_t index = child ? SelectedChild(w) : target;
  if (target < 0 || index < 0) return;
  Execute(w, CopyPlan(w.list, index, child ? target : kNoParent, LoadText(IDS_COPY_SUFFIX).CString(), SystemLeads()));
}

void MoveSelected(PropertyWindow& w, bool child, int direction) {
  const int32_t target = SelectedTarget(w);
  const int32_t index = child ? SelectedChild(w) : target;
  if (target < 0 || index < 0) return;
  Execute(w, MovePlan(w.list, index, child ? target : kNoParent, direction));
}

// A rule switched on or off, from the list's check box or its menu.
void SetEnabled(PropertyWindow& w, bool child, int32_t target, int32_t index, bool enabled) {
  if (target < 0 || static_cast<size_t>(target) >= w.list.Size()) return;
  const auto& children = w.list[target].children;
  if (child && (index < 0 || static_cast<size_t>(index) >= children.Size())) return;
  TargetRecord record = child ? children[index] : w.list[target].record;
  if ((record.enabled != 0) == enabled) return;
  record.enabled = enabled ? 1 : 0;
  Execute(w, EditPlan(child ? index : target, child ? target : kNoParent, record));
}

void OnRowChecked(PropertyWindow& w, bool child, int row) {
  HWND list = child ? w.children : w.targets;
  const int32_t target = child ? SelectedTarget(w) : row;
  SetEnabled(w, child, target, child ? row : -1, RowChecked(list, row));
  // Refused or unchanged: the box shows the rule as it is.
  if (!w.destroyed) Refill(w, CurrentPick(w));
}

// The menu of a list, at the mouse or, from the keyboard, at the selected row.
void ShowRuleMenu(PropertyWindow& w, HWND list, LPARAM at) {
  const bool child = list == w.children;
  const int32_t target = SelectedTarget(w);
  const int32_t index = child ? SelectedChild(w) : target;
  if (index < 0) return;
  POINT point = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (at == -1) {
    RECT row = {};
    row.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row));
    point = {row.left, row.bottom};
    ClientToScreen(list, &point);
  }
  HMENU menu = LoadMenuA(ModuleInstance(), MAKEINTRESOURCEA(IDM_RULE_MENU));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  const TargetRecord& record = child ? w.list[target].children[index] : w.list[target].record;
  // The items as the buttons beside the list stand.
  const struct { UINT item; int button; } items[] = {
      {IDM_RULE_EDIT, child ? IDC_CHILD_EDIT : IDC_TARGET_EDIT}, {IDM_RULE_COPY, child ? IDC_CHILD_COPY : IDC_TARGET_COPY},
      {IDM_RULE_DELETE, child ? IDC_CHILD_DELETE : IDC_TARGET_DELETE}, {IDM_RULE_ENABLED, child ? IDC_CHILD_EDIT : IDC_TARGET_EDIT},
      {IDM_RULE_UP, child ? IDC_CHILD_UP : IDC_TARGET_UP}, {IDM_RULE_DOWN, child ? IDC_CHILD_DOWN : IDC_TARGET_DOWN},
  };
  for (const auto& i : items) {
    EnableMenuItem(popup, i.item, MF_BYCOMMAND | (IsWindowEnabled(GetDlgItem(w.dialog, i.button)) ? MF_ENABLED : MF_GRAYED));
  }
  CheckMenuItem(popup, IDM_RULE_ENABLED, MF_BYCOMMAND | (record.enabled ? MF_CHECKED : MF_UNCHECKED));
  const bool enabled = record.enabled != 0;
  const UINT command = static_cast<UINT>(
      TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x, point.y, 0, w.dialog, nullptr));
  DestroyMenu(menu);
  if (w.destroyed) return;
  switch (command) {
    case IDM_RULE_EDIT:
      EditAndRun(w, child, false);
      return;
    case IDM_RULE_COPY:
      CopySelected(w, child);
      return;
    case IDM_RULE_DELETE:
      DeleteSelected(w, child);
      return;
    case IDM_RULE_ENABLED:
      SetEnabled(w, child, target, child ? index : -1, !enabled);
      return;
    case IDM_RULE_UP:
      MoveSelected(w, child, -1);
      return;
    case IDM_RULE_DOWN:
      MoveSelected(w, child, 1);
      return;
    default:
      return;
  }
}

// --- export and import ---

// A file name from the standard dialog; false when the user cancelled.
bool AskFileName(PropertyWindow& w, bool saving, char (&path)[MAX_PATH]) {
  TextBuffer filter = LoadText(IDS_FILE_FILTER);
  for (size_t i = 0; i < filter.Size(); ++i) {
    if (filter.Data()[i] == '|') filter.Data()[i] = '\0';
  }
  OPENFILENAMEA file = {};
  file.lStructSize = sizeof file;
  file.hwndOwner = w.dialog;
  file.lpstrFilter = filter.CString();
  file.lpstrFile = path;
  file.nMaxFile = MAX_PATH;
  file.lpstrDefExt = "ini";
  file.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
               (saving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  // Loaded only here: linked to the module, the common dialogs would be
  // loaded with it at every call and leave handles behind at every unload.
  HMODULE dialogs = LoadLibraryA("comdlg32.dll");
  if (!dialogs) return false;
  using AskFile = BOOL(WINAPI*)(OPENFILENAMEA*);
  const auto ask = reinterpret_cast<AskFile>(
      reinterpret_cast<void*>(GetProcAddress(dialogs, saving ? "GetSaveFileNameA" : "GetOpenFileNameA")));
  const BOOL chosen = ask && ask(&file);
  FreeLibrary(dialogs);
  return chosen && !w.destroyed;
}

// The list as the window shows it, in the settings file's own format.
void ExportRules(PropertyWindow& w) {
  char path[MAX_PATH] = {};
  const TextBuffer name = LoadText(IDS_EXPORT_NAME);
  lstrcpynA(path, name.CString(), MAX_PATH);
  if (!AskFileName(w, true, path)) return;
  SettingsModel model;
  TextBuffer text;
  SystemCharset charset;
  const SettingsRecord& active = w.block.activeSettings;
  model.general.monitorInterval = active.monitorInterval;
  model.general.reapplyOnWorkAreaChange = active.reapplyOnWorkAreaChange ? 1 : 0;
  model.general.openSettingsAtStart = OpenAtStartPreference(active) ? 1 : 0;
  model.general.monitoringEnabled = w.block.monitoringEnabled ? 1 : 0;
  // The rules as this window holds them, read through the program's messages.
  bool made = model.targets.Reserve(w.list.Size());
  for (size_t i = 0; made && i < w.list.Size(); ++i) {
    made = AddTarget(model, w.list[i].record);
    for (size_t k = 0; made && k < w.list[i].children.Size(); ++k) {
      made = AddChild(model.targets[model.targets.Size() - 1], w.list[i].children[k]);
    }
  }
  if (!made || !FormatSettingsFile(model, charset.Get(), text) || !SaveSettingsText(path, text.View())) {
    SetStatus(w, LoadText(IDS_EXPORT_FAILED), true);
    ShowMessage(w.dialog, LoadText(IDS_EXPORT_FAILED), MB_OK | MB_ICONWARNING);
    return;
  }
  SetStatus(w, FormatText(IDS_EXPORTED, static_cast<int>(w.list.Size())), false);
}

struct ImportChoice {
  TextBuffer question;
  bool replace = false;
};

INT_PTR CALLBACK ImportProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* choice = reinterpret_cast<ImportChoice*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      choice = reinterpret_cast<ImportChoice*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SetFieldText(dialog, IDC_IMPORT_TEXT, choice->question);
      SetChecked(dialog, IDC_IMPORT_ADD, true);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        choice->replace = IsChecked(dialog, IDC_IMPORT_REPLACE);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// The rules of a file, read as the settings file is read, after the list's
// own or in their place; nothing changes when the user cancels or the file
// cannot be read.
void ImportRules(PropertyWindow& w) {
  char path[MAX_PATH] = {};
  if (!AskFileName(w, false, path)) return;
  SettingsModel model;
  LoadedFile loaded;
  LoadSettingsFile(path, model, loaded);
  if (loaded.read != FileRead::kRead) {
    ShowMessage(w.dialog, LoadText(IDS_IMPORT_UNREADABLE), MB_OK | MB_ICONWARNING);
    return;
  }
  if (model.targets.Empty()) {
    ShowMessage(w.dialog, LoadText(IDS_IMPORT_EMPTY), MB_OK | MB_ICONWARNING);
    return;
  }
  // The file itself is left as it is: nothing here writes to it.
  if (loaded.report.damaged &&
      ShowMessage(w.dialog, LoadText(IDS_IMPORT_DAMAGED), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  if (w.destroyed) return;
  ImportChoice choice;
  choice.question = FormatText(IDS_IMPORT_COUNT, static_cast<int>(model.targets.Size()), static_cast<int>(w.list.Size()));
  const uint32_t reads = w.listReads;
  if (DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_IMPORT), w.dialog, ImportProc,
                      reinterpret_cast<LPARAM>(&choice)) != IDOK ||
      w.destroyed) {
    return;
  }
  // A replace works out which rules to take out from the list as it was read.
  if (choice.replace && w.listReads != reads) {
    ReportListChanged(w);
    return;
  }
  const size_t before = w.list.Size();
  Execute(w, ImportPlan(w.list, model.targets, choice.replace));
  if (w.destroyed) return;
  if (w.list.Size() == (choice.replace ? 0 : before) + model.targets.Size() && !w.statusIsError) {
    SetStatus(w, FormatText(IDS_IMPORTED, static_cast<int>(model.targets.Size())), false);
  }
}

// --- the general settings ---

void ShowInterval(PropertyWindow& w) {
  w.settingInterval = true;
  SetFieldNumber(w.dialog, IDC_INTERVAL, w.block.activeSettings.monitorInterval);
  w.settingInterval = false;
  w.intervalDirty = false;
}

void RefreshSettings(PropertyWindow& w) {
  const SettingsRecord& active = w.block.activeSettings;
  SetChecked(w.dialog, IDC_REAPPLY, active.reapplyOnWorkAreaChange != 0);
  SetChecked(w.dialog, IDC_OPEN_AT_START, OpenAtStartPreference(active) != 0);
  if (!w.intervalDirty) ShowInterval(w);
  const bool monitoring = w.block.monitoringEnabled != 0;
  SetFieldText(w.dialog, IDC_MONITOR_STATE, LoadText(monitoring ? IDS_MONITORING_ON : IDS_MONITORING_OFF));
  const bool program = w.channel.HasProgram();
  EnableField(w.dialog, IDC_START, program && !monitoring);
  EnableField(w.dialog, IDC_STOP, program && monitoring);
  EnableField(w.dialog, IDC_APPLY_NOW, program && monitoring);
  EnableField(w.dialog, IDC_INTERVAL, program);
  EnableField(w.dialog, IDC_REAPPLY, program);
  EnableField(w.dialog, IDC_OPEN_AT_START, program);
  MoveFocusOffDisabled(w.dialog);
}

// Takes new settings into force and saves them; false (and a message) when
// the program did not take them.
bool ApplySettings(PropertyWindow& w, const SettingsRecord& settings) {
  const Sent sent = w.channel.ApplySettings(settings);
  if (w.destroyed) return false;
  if (sent == Sent::kDone) {
    SaveNow(w);
    return true;
  }
  if (sent == Sent::kNoAnswer) {
    ReportNoAnswer(w);
  } else {
    ShowMessage(w.dialog, LoadText(IDS_NOT_APPLIED), MB_OK | MB_ICONWARNING);
  }
  return false;
}

// The typed interval, when it can be taken; otherwise says why in the status line.
bool TypedInterval(PropertyWindow& w, int32_t& value) {
  const TextBuffer name = LoadText(IDS_FIELD_INTERVAL);
  switch (CheckNumber(ReadNumberText(w.dialog, IDC_INTERVAL).View(), kIntervalRange, value)) {
    case NumberCheck::kOk:
      return true;
    case NumberCheck::kEmpty:
      SetStatus(w, FormatText(IDS_ERR_NUMBER_EMPTY, name.CString()), true);
      return false;
    case NumberCheck::kNotNumber:
      SetStatus(w, FormatText(IDS_ERR_NUMBER_BAD, name.CString()), true);
      return false;
    case NumberCheck::kOutOfRange:
      SetStatus(w, FormatText(IDS_ERR_NUMBER_RANGE, name.CString(), static_cast<int>(kIntervalRange.low),
                              static_cast<int>(kIntervalRange.high)),
                true);
      return false;
  }
  return false;
}

void CommitInterval(PropertyWindow& w) {
  KillTimer(w.dialog, kIntervalTimer);
  if (!w.intervalDirty || w.closing) return;
  int32_t value = 0;
  if (!TypedInterval(w, value)) return;
  if (value == w.block.activeSettings.monitorInterval) {
    w.intervalDirty = false;
    return;
  }
  SettingsRecord settings = w.block.activeSettings;
  settings.monitorInterval = value;
  if (ApplySettings(w, settings)) w.intervalDirty = false;
}

void OnIntervalTyped(PropertyWindow& w) {
  if (w.settingInterval) return;
  w.intervalDirty = true;
  int32_t value = 0;
  if (TypedInterval(w, value)) {
    SetStatus(w, "", false);
    SetTimer(w.dialog, kIntervalTimer, kIntervalPauseMs, nullptr);
  } else {
    KillTimer(w.dialog, kIntervalTimer);
  }
}

void ToggleSetting(PropertyWindow& w, int id) {
  SettingsRecord settings = w.block.activeSettings;
  const uint8_t on = IsChecked(w.dialog, id) ? 1 : 0;
  if (id == IDC_REAPPLY) settings.reapplyOnWorkAreaChange = on;
  if (id == IDC_OPEN_AT_START) OpenAtStartPreference(settings) = on;
  ApplySettings(w, settings);
  if (!w.destroyed) RefreshSettings(w);  // shows what is in force, taken or not
}

using ProgramPath = char[sizeof(SharedBlock::modulePath) + 1];

void ProgramPathOf(const PropertyWindow& w, ProgramPath& path) {
  const size_t length = strnlen(w.block.modulePath, sizeof w.block.modulePath);
  std::memcpy(path, w.block.modulePath, length);
  path[length] = '\0';
}

// The box shows what the registry holds, not what was last asked of it.
void ShowStartupEntry(PropertyWindow& w) {
  ProgramPath program;
  ProgramPathOf(w, program);
  SetChecked(w.dialog, IDC_START_WITH_WINDOWS, HasStartupEntry(program));
  EnableField(w.dialog, IDC_START_WITH_WINDOWS, program[0] != '\0');
}

void ToggleStartupEntry(PropertyWindow& w) {
  ProgramPath program;
  ProgramPathOf(w, program);
  if (!SetStartupEntry(program, IsChecked(w.dialog, IDC_START_WITH_WINDOWS))) {
    ShowMessage(w.dialog, LoadText(IDS_START_ENTRY_FAILED), MB_OK | MB_ICONWARNING);
    if (w.destroyed) return;
  }
  ShowStartupEntry(w);
}

void OnStateChanged(PropertyWindow& w) {
  RefreshSettings(w);
  const int monitoring = w.block.monitoringEnabled ? 1 : 0;
  // The monitoring state is kept in the file too: a switch is saved at once,
  // but not while a late change may still be rebuilding the list being saved.
  const bool switched = w.lastMonitoring >= 0 && monitoring != w.lastMonitoring;
  if (switched && w.channel.Settle(kSettleWaitMs)) SaveNow(w);
  w.lastMonitoring = monitoring;
}

void OnSettleTimer(PropertyWindow& w) {
  if (!w.channel.Settle(kSettleWaitMs)) return;
  KillTimer(w.dialog, kSettleTimer);
  Reload(w, CurrentPick(w));
  SetStatus(w, LoadText(IDS_RELOADED), false);
}

// --- the window ---

void SetUpWindow(PropertyWindow& w) {
  HWND d = w.dialog;
  w.block.propertyWindow = HandleValue(d);
  // The program's own icon: it stands for Plenara in the task bar.
  HINSTANCE program = GetModuleHandleA(nullptr);
  w.bigIcon = static_cast<HICON>(LoadImageA(program, "MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                            GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  w.smallIcon = static_cast<HICON>(LoadImageA(program, "MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  if (w.bigIcon) SendMessageA(d, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(w.bigIcon));
  if (w.smallIcon) SendMessageA(d, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(w.smallIcon));

  w.targets = GetDlgItem(d, IDC_TARGETS);
  w.children = GetDlgItem(d, IDC_CHILDREN);
  SetUpRuleColumns(w.targets);
  SetUpRuleColumns(w.children);

  const WindowMemory memory = LoadWindowMemory(w.block);
  if (memory.signature == kWindowMemorySignature) PlaceOnScreen(d, SavedPlace{true, memory.propertyX, memory.propertyY});

  if (w.channel.HasProgram()) {
    Reload(w, RulePick{0, 0});
  } else {
    Refill(w, RulePick{});
    SetStatus(w, LoadText(IDS_NO_PROGRAM), true);
  }
  RefreshSettings(w);
  ShowStartupEntry(w);
  w.lastMonitoring = w.block.monitoringEnabled ? 1 : 0;
}

void RememberPlace(PropertyWindow& w) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(w.dialog, &placement)) return;
  WindowMemory memory = LoadWindowMemory(w.block);
  memory.signature = kWindowMemorySignature;
  memory.propertyX = placement.rcNormalPosition.left;
  memory.propertyY = placement.rcNormalPosition.top;
  StoreWindowMemory(w.block, memory);
}

// Enter: the user means the list or the field that has the focus.
void OnEnter(PropertyWindow& w) {
  HWND focus = GetFocus();
  if (focus == w.targets && SelectedTarget(w) >= 0) {
    EditAndRun(w, false, false);
  } else if (focus == w.children && SelectedChild(w) >= 0) {
    EditAndRun(w, true, false);
  } else if (focus == GetDlgItem(w.dialog, IDC_INTERVAL)) {
    CommitInterval(w);
  }
}

// Closing by the user takes a typed interval into force first; WM_CLOSE
// from the program at shutdown closes at once, since the program answers
// nothing then.
void CloseByUser(PropertyWindow& w) {
  CommitInterval(w);
  if (w.destroyed) return;
  int32_t value = 0;
  if (w.intervalDirty && !TypedInterval(w, value)) {
    // Not taken: the user hears why, as for the rule editor's fields, and can put it right.
    HWND field = GetDlgItem(w.dialog, IDC_INTERVAL);
    char shown[512] = {};
    GetDlgItemTextA(w.dialog, IDC_STATUS, shown, sizeof shown);
    ShowMessage(w.dialog, FormatText(IDS_INTERVAL_NOT_TAKEN, shown, static_cast<int>(w.block.activeSettings.monitorInterval)),
                MB_OK | MB_ICONWARNING);
    if (w.destroyed) return;
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    return;
  }
  w.closing = true;
  DestroyWindow(w.dialog);
}

void OnCommand(PropertyWindow& w, int id, int code) {
  switch (id) {
    case IDOK:
      OnEnter(w);
      return;
    case IDCANCEL:
      CloseByUser(w);
      return;
    case IDC_TARGET_ADD:
      EditAndRun(w, false, true);
      return;
    case IDC_TARGET_EDIT:
      EditAndRun(w, false, false);
      return;
    case IDC_TARGET_COPY:
      CopySelected(w, false);
      return;
    case IDC_TARGET_DELETE:
      DeleteSelected(w, false);
      return;
    case IDC_TARGET_UP:
      MoveSelected(w, false, -1);
      return;
    case IDC_TARGET_DOWN:
      MoveSelected(w, false, 1);
      return;
    case IDC_CHILD_ADD:
      EditAndRun(w, true, true);
      return;
    case IDC_CHILD_EDIT:
      EditAndRun(w, true, false);
      return;
    case IDC_CHILD_COPY:
      CopySelected(w, true);
      return;
    case IDC_CHILD_DELETE:
      DeleteSelected(w, true);
      return;
    case IDC_CHILD_UP:
      MoveSelected(w, true, -1);
      return;
    case IDC_CHILD_DOWN:
      MoveSelected(w, true, 1);
      return;
    case IDC_INTERVAL:
      if (code == EN_CHANGE) OnIntervalTyped(w);
      if (code == EN_KILLFOCUS) CommitInterval(w);
      return;
    case IDC_REAPPLY:
    case IDC_OPEN_AT_START:
      if (code == BN_CLICKED) ToggleSetting(w, id);
      return;
    case IDC_START_WITH_WINDOWS:
      if (code == BN_CLICKED) ToggleStartupEntry(w);
      return;
    case IDC_START:
      w.channel.PostCommand(kCmdStart);
      return;
    case IDC_STOP:
      w.channel.PostCommand(kCmdStop);
      return;
    case IDC_APPLY_NOW:
      // Stopping forgets which windows were handled: the start handles every window afresh.
      if (w.block.monitoringEnabled) {
        w.channel.PostCommand(kCmdStop);
        w.channel.PostCommand(kCmdStart);
        SetStatus(w, LoadText(IDS_APPLIED_NOW), false);
      }
      return;
    case IDC_EXPORT:
      ExportRules(w);
      return;
    case IDC_IMPORT:
      ImportRules(w);
      return;
    case IDC_HELP_BUTTON:
      w.channel.RequestHelp(IDH_SETTINGS_WINDOW);
      return;
    default:
      return;
  }
}

void OnNotify(PropertyWindow& w, const NMHDR& header) {
  const bool targets = header.hwndFrom == w.targets;
  const bool children = header.hwndFrom == w.children;
  if (!targets && !children) return;
  switch (header.code) {
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if (w.filling || !(change.uChanged & LVIF_STATE)) return;
      if (((change.uOldState ^ change.uNewState) & LVIS_STATEIMAGEMASK) != 0 && change.iItem >= 0 &&
          (change.uOldState & LVIS_STATEIMAGEMASK) != 0) {
        PostMessageA(w.dialog, kMsgRowChecked, static_cast<WPARAM>(change.iItem), children ? 1 : 0);
      }
      if (((change.uOldState ^ change.uNewState) & LVIS_SELECTED) == 0) return;
      if (targets) FillChildren(w, 0);
      UpdateButtons(w);
      return;
    }
    case NM_DBLCLK:
      if (targets && SelectedTarget(w) >= 0) EditAndRun(w, false, false);
      if (children && SelectedChild(w) >= 0) EditAndRun(w, true, false);
      return;
    case LVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
      if (key.wVKey == VK_DELETE) DeleteSelected(w, children);
      if (key.wVKey == VK_INSERT) EditAndRun(w, children, true);
      return;
    }
    default:
      return;
  }
}

INT_PTR CALLBACK PropertyProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* w = reinterpret_cast<PropertyWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    w = reinterpret_cast<PropertyWindow*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    w->dialog = dialog;
    SetUpWindow(*w);
    return TRUE;
  }
  if (!w || w->destroyed) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (!w->closing) OnCommand(*w, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      OnNotify(*w, *reinterpret_cast<const NMHDR*>(lParam));
      return TRUE;
    case kMsgStateChanged:
      OnStateChanged(*w);
      return TRUE;
    case kMsgRowChecked:
      if (!w->closing) OnRowChecked(*w, lParam != 0, static_cast<int>(wParam));
      return TRUE;
    case WM_CONTEXTMENU: {
      HWND list = reinterpret_cast<HWND>(wParam);
      if (!w->closing && (list == w->targets || list == w->children)) ShowRuleMenu(*w, list, lParam);
      return TRUE;
    }
    case WM_TIMER:
      if (w->closing) return TRUE;
      if (wParam == kIntervalTimer) CommitInterval(*w);
      if (wParam == kSettleTimer) OnSettleTimer(*w);
      return TRUE;
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
      const int id = info && info->iContextType == HELPINFO_WINDOW ? info->iCtrlId : 0;
      w->channel.RequestHelp(HelpTopicOf(id, IDH_SETTINGS_WINDOW));
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        CloseByUser(*w);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      // Also what the program posts at shutdown, when it answers nothing:
      // the window goes at once, with whatever is open inside it.
      w->closing = true;
      CancelMoveSize();
      DestroyWindow(dialog);
      return TRUE;
    case WM_DESTROY:
      RememberPlace(*w);
      if (w->block.propertyWindow == HandleValue(dialog)) w->block.propertyWindow = 0;
      w->destroyed = true;
      return TRUE;
    case WM_CTLCOLORSTATIC:
      if (w->statusIsError && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_STATUS) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(192, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    default:
      return FALSE;
  }
}


}  // namespace

void RunPropertyWindow(SharedBlock& block) {
  // The program starts one settings window at a time; a stray second call
  // leaves the open one alone.
  if (block.propertyWindow && IsWindow(HandleOf(block.propertyWindow))) return;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  PropertyWindow window(block);
  RunModelessDialog(IDD_PROPERTIES, PropertyProc, reinterpret_cast<LPARAM>(&window), window.destroyed);
  if (window.dialog && block.propertyWindow == HandleValue(window.dialog)) block.propertyWindow = 0;
  if (window.bigIcon) DestroyIcon(window.bigIcon);
  if (window.smallIcon) DestroyIcon(window.smallIcon);
}
