#include "settings/window/RuleEditor.h"

#include <windowsx.h>

#include <cstring>

#include "monitor/LeadBytes.h"
#include "monitor/MatchText.h"
#include "settings/SettingsFile.h"
#include "settings/window/HelpTopics.h"
#include "settings/window/RuleFields.h"
#include "settings/window/RuleText.h"
#include "settings/window/Ui.h"
#include "settings/window/WindowFinder.h"
#include "settings/window/WindowIds.h"

namespace {

struct Editor {
  Editor(const RuleEditorRequest& q, RuleEditorResult& r) : request(q), result(r), child(q.child) {}

  const RuleEditorRequest& request;
  RuleEditorResult& result;
  HWND dialog = nullptr;
  bool statusIsError = false;
  bool child;  // a child rule: as asked, or made one by the window finder
  // The window finder.
  HICON finderFull = nullptr;
  HICON finderEmpty = nullptr;
  bool dragging = false;
  FinderFrame frame;
  FoundWindow found;
  bool hasFound = false;
};

// One field that could not be taken: the message, and where to put the caret.
struct Problem {
  int field = 0;
  TextBuffer message;
};

int ModeChoice(uint8_t mode, int count) { return mode < count ? mode : 0; }

void LoadRecord(HWND dialog, const TargetRecord& record) {
  SetFieldBytes(dialog, IDC_NAME, RuleName(record), kRuleNameSize);
  SetFieldBytes(dialog, IDC_CLASS, record.classPattern, kPatternSize);
  SetFieldBytes(dialog, IDC_TITLE, record.titlePattern, kPatternSize);
  SetChoice(dialog, IDC_CLASS_MODE, ModeChoice(record.classMatch, 5));
  SetChoice(dialog, IDC_TITLE_MODE, ModeChoice(record.titleMatch, 5));
  SetChoice(dialog, IDC_SIZE_ACTION, ModeChoice(record.sizeAction, 4));
  SetChoice(dialog, IDC_WIDTH_MODE, ModeChoice(record.widthSpec.mode, 4));
  SetChoice(dialog, IDC_HEIGHT_MODE, ModeChoice(record.heightSpec.mode, 4));
  SetFieldNumber(dialog, IDC_WIDTH, record.widthSpec.value);
  SetFieldNumber(dialog, IDC_HEIGHT, record.heightSpec.value);
  SetChecked(dialog, IDC_POSITION, record.positionAction == kPositionSet);
  SetChoice(dialog, IDC_X_ANCHOR, ModeChoice(record.xSpec.anchor, 3));
  SetChoice(dialog, IDC_X_OFFSET, ModeChoice(record.xSpec.offsetKind, 3));
  SetChoice(dialog, IDC_Y_ANCHOR, ModeChoice(record.ySpec.anchor, 3));
  SetChoice(dialog, IDC_Y_OFFSET, ModeChoice(record.ySpec.offsetKind, 3));
  SetFieldNumber(dialog, IDC_X, record.xSpec.value);
  SetFieldNumber(dialog, IDC_Y, record.ySpec.value);
  SetChecked(dialog, IDC_ACTIVATE, record.activate != 0);
  SetChecked(dialog, IDC_CLOSE_WINDOW, record.close != 0);
  SetChecked(dialog, IDC_ENABLED, record.enabled != 0);
  SetChecked(dialog, IDC_APPLY_ONCE, record.applyOnce != 0);
}

void ShowUnit(HWND dialog, int id, bool percent, bool shown) {
  SetFieldText(dialog, id, shown ? LoadText(percent ? IDS_UNIT_PERCENT : IDS_UNIT_PIXELS) : TextBuffer());
}

// Only what the chosen modes read can be edited.
void UpdateFields(HWND dialog) {
  EnableField(dialog, IDC_CLASS, ChoiceOf(dialog, IDC_CLASS_MODE) != kMatchAny);
  EnableField(dialog, IDC_TITLE, ChoiceOf(dialog, IDC_TITLE_MODE) != kMatchAny);

  const bool sized = ChoiceOf(dialog, IDC_SIZE_ACTION) == kSizeSet;
  const int widthMode = ChoiceOf(dialog, IDC_WIDTH_MODE);
  const int heightMode = ChoiceOf(dialog, IDC_HEIGHT_MODE);
  EnableField(dialog, IDC_WIDTH_MODE, sized);
  EnableField(dialog, IDC_HEIGHT_MODE, sized);
  EnableField(dialog, IDC_WIDTH, sized && SizeModeTakesValue(widthMode));
  EnableField(dialog, IDC_HEIGHT, sized && SizeModeTakesValue(heightMode));
  ShowUnit(dialog, IDC_WIDTH_UNIT, widthMode == kSizePercent, SizeModeTakesValue(widthMode));
  ShowUnit(dialog, IDC_HEIGHT_UNIT, heightMode == kSizePercent, SizeModeTakesValue(heightMode));

  const bool placed = IsChecked(dialog, IDC_POSITION);
  const int xAnchor = ChoiceOf(dialog, IDC_X_ANCHOR);
  const int yAnchor = ChoiceOf(dialog, IDC_Y_ANCHOR);
  const int xOffset = ChoiceOf(dialog, IDC_X_OFFSET);
  const int yOffset = ChoiceOf(dialog, IDC_Y_OFFSET);
  EnableField(dialog, IDC_X_ANCHOR, placed);
  EnableField(dialog, IDC_Y_ANCHOR, placed);
  EnableField(dialog, IDC_X_OFFSET, placed && xAnchor != kAnchorKeep);
  EnableField(dialog, IDC_Y_OFFSET, placed && yAnchor != kAnchorKeep);
  EnableField(dialog, IDC_X, placed && OffsetTakesValue(xAnchor, xOffset));
  EnableField(dialog, IDC_Y, placed && OffsetTakesValue(yAnchor, yOffset));
  ShowUnit(dialog, IDC_X_UNIT, xOffset == kOffsetPercent, OffsetTakesValue(xAnchor, xOffset));
  ShowUnit(dialog, IDC_Y_UNIT, yOffset == kOffsetPercent, OffsetTakesValue(yAnchor, yOffset));
}

bool ReadText(HWND dialog, int id, UINT fieldName, size_t limit, char* out, size_t outSize, Problem& problem) {
  TextBuffer text;
  const TextBuffer name = LoadText(fieldName);
  if (!ReadFieldText(dialog, id, text)) {
    problem = {id, FormatText(IDS_ERR_TEXT_CHARS, name.CString())};
    return false;
  }
  if (text.Size() > limit) {
    problem = {id, FormatText(IDS_ERR_TEXT_LONG, name.CString(), static_cast<int>(limit), static_cast<int>(limit / 2))};
    return false;
  }
  std::memset(out, 0, outSize);
  std::memcpy(out, text.Data(), text.Size());
  return true;
}

// A pattern field. Greyed out (mode "any") it is no condition, and nothing
// in it can block OK: its text is kept when it fits and dropped when not.
// "Equals" with no text could match only windows without a name.
bool ReadPattern(HWND dialog, int id, int modeId, UINT fieldName, char* out, Problem& problem) {
  const int mode = ChoiceOf(dialog, modeId);
  if (mode == kMatchAny) {
    TextBuffer text;
    std::memset(out, 0, kPatternSize);
    if (ReadFieldText(dialog, id, text) && text.Size() <= kMaxPatternBytes) std::memcpy(out, text.Data(), text.Size());
    return true;
  }
  if (!ReadText(dialog, id, fieldName, kMaxPatternBytes, out, kPatternSize, problem)) return false;
  if (mode == kMatchEquals && out[0] == '\0') {
    problem = {id, FormatText(IDS_ERR_EQUALS_EMPTY, LoadText(fieldName).CString())};
    return false;
  }
  return true;
}

// A value field that the chosen mode reads; one it does not read keeps
// the record's old value.
bool ReadValue(HWND dialog, int id, UINT fieldName, NumberRange range, int32_t& value, Problem& problem) {
  if (!IsWindowEnabled(GetDlgItem(dialog, id))) return true;
  const TextBuffer name = LoadText(fieldName);
  switch (CheckNumber(ReadNumberText(dialog, id).View(), range, value)) {
    case NumberCheck::kOk:
      return true;
    case NumberCheck::kEmpty:
      problem = {id, FormatText(IDS_ERR_NUMBER_EMPTY, name.CString())};
      return false;
    case NumberCheck::kNotNumber:
      problem = {id, FormatText(IDS_ERR_NUMBER_BAD, name.CString())};
      return false;
    case NumberCheck::kOutOfRange:
      problem = {id, FormatText(IDS_ERR_NUMBER_RANGE, name.CString(), static_cast<int>(range.low),
                                static_cast<int>(range.high))};
      return false;
  }
  return false;
}

// The rule as the fields describe it, starting from the record the editor
// was opened with so that bytes it does not show travel unchanged.
bool CollectRecord(HWND dialog, const TargetRecord& original, TargetRecord& record, Problem& problem) {
  record = original;
  if (!ReadText(dialog, IDC_NAME, IDS_FIELD_NAME, kMaxNameBytes, RuleName(record), kRuleNameSize, problem)) return false;
  record.classMatch = static_cast<uint8_t>(ChoiceOf(dialog, IDC_CLASS_MODE));
  record.titleMatch = static_cast<uint8_t>(ChoiceOf(dialog, IDC_TITLE_MODE));
  if (!ReadPattern(dialog, IDC_CLASS, IDC_CLASS_MODE, IDS_FIELD_CLASS, record.classPattern, problem)) return false;
  if (!ReadPattern(dialog, IDC_TITLE, IDC_TITLE_MODE, IDS_FIELD_TITLE, record.titlePattern, problem)) return false;
  record.sizeAction = static_cast<uint8_t>(ChoiceOf(dialog, IDC_SIZE_ACTION));
  record.widthSpec.mode = static_cast<uint8_t>(ChoiceOf(dialog, IDC_WIDTH_MODE));
  record.heightSpec.mode = static_cast<uint8_t>(ChoiceOf(dialog, IDC_HEIGHT_MODE));
  if (!ReadValue(dialog, IDC_WIDTH, IDS_FIELD_WIDTH, SizeValueRange(record.widthSpec.mode), record.widthSpec.value,
                 problem)) {
    return false;
  }
  if (!ReadValue(dialog, IDC_HEIGHT, IDS_FIELD_HEIGHT, SizeValueRange(record.heightSpec.mode),
                 record.heightSpec.value, problem)) {
    return false;
  }
  record.positionAction = IsChecked(dialog, IDC_POSITION) ? kPositionSet : kPositionNone;
  record.xSpec.anchor = static_cast<uint8_t>(ChoiceOf(dialog, IDC_X_ANCHOR));
  record.xSpec.offsetKind = static_cast<uint8_t>(ChoiceOf(dialog, IDC_X_OFFSET));
  record.ySpec.anchor = static_cast<uint8_t>(ChoiceOf(dialog, IDC_Y_ANCHOR));
  record.ySpec.offsetKind = static_cast<uint8_t>(ChoiceOf(dialog, IDC_Y_OFFSET));
  if (!ReadValue(dialog, IDC_X, IDS_FIELD_X, OffsetValueRange(record.xSpec.offsetKind), record.xSpec.value, problem)) {
    return false;
  }
  if (!ReadValue(dialog, IDC_Y, IDS_FIELD_Y, OffsetValueRange(record.ySpec.offsetKind), record.ySpec.value, problem)) {
    return false;
  }
  record.activate = IsChecked(dialog, IDC_ACTIVATE) ? 1 : 0;
  record.close = IsChecked(dialog, IDC_CLOSE_WINDOW) ? 1 : 0;
  record.enabled = IsChecked(dialog, IDC_ENABLED) ? 1 : 0;
  record.applyOnce = IsChecked(dialog, IDC_APPLY_ONCE) ? 1 : 0;
  return true;
}

// Checks the fields as they are typed and says in the status line what
// cannot be taken.
bool CheckFields(Editor& editor, Problem& problem) {
  TargetRecord record;
  const bool ok = CollectRecord(editor.dialog, editor.request.record, record, problem);
  editor.statusIsError = !ok;
  SetFieldText(editor.dialog, IDC_RULE_STATUS, ok ? "" : problem.message.CString());
  return ok;
}

void Confirm(Editor& editor) {
  Problem problem;
  TargetRecord record;
  if (!CollectRecord(editor.dialog, editor.request.record, record, problem)) {
    HWND field = GetDlgItem(editor.dialog, problem.field);
    ShowMessage(editor.dialog, problem.message, MB_OK | MB_ICONWARNING);
    if (!IsWindow(editor.dialog)) return;  // closed while the message was up
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 0, -1);
    return;
  }
  // No condition at all: the rule would close or minimize every window there is.
  const bool everyWindow = record.classMatch == kMatchAny && record.titleMatch == kMatchAny;
  const UINT question = record.close ? IDS_CONFIRM_EVERY_CLOSE
                                     : (record.sizeAction == kSizeMinimize ? IDS_CONFIRM_EVERY_MINIMIZE : 0);
  if (everyWindow && question) {
    const int answer = ShowMessage(editor.dialog, LoadText(question), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (!IsWindow(editor.dialog) || answer != IDYES) return;
  }
  editor.result.record = record;
  EndDialog(editor.dialog, IDOK);
}

void SetUpEditor(Editor& editor) {
  HWND dialog = editor.dialog;
  const RuleEditorRequest& request = editor.request;
  const UINT caption = request.child ? (request.adding ? IDS_ADD_CHILD : IDS_EDIT_CHILD)
                                     : (request.adding ? IDS_ADD_TARGET : IDS_EDIT_TARGET);
  SetWindowTextA(dialog, LoadText(caption).CString());
  FillChoices(dialog, IDC_CLASS_MODE, IDS_MATCH_0, 5);
  FillChoices(dialog, IDC_TITLE_MODE, IDS_MATCH_0, 5);
  FillChoices(dialog, IDC_SIZE_ACTION, IDS_SIZE_ACTION_0, 4);
  FillChoices(dialog, IDC_WIDTH_MODE, IDS_WIDTH_MODE_0, 4);
  FillChoices(dialog, IDC_HEIGHT_MODE, IDS_HEIGHT_MODE_0, 4);
  FillChoices(dialog, IDC_X_ANCHOR, IDS_X_ANCHOR_0, 3);
  FillChoices(dialog, IDC_Y_ANCHOR, IDS_Y_ANCHOR_0, 3);
  FillChoices(dialog, IDC_X_OFFSET, IDS_OFFSET_0, 3);
  FillChoices(dialog, IDC_Y_OFFSET, IDS_OFFSET_0, 3);
  LoadRecord(dialog, request.record);
  SetFieldText(dialog, IDC_REFERENCE_NOTE, LoadText(request.child ? IDS_REFERENCE_MDI : IDS_REFERENCE_WORK_AREA));
  SetFieldText(dialog, IDC_FINDER_HINT, LoadText(IDS_FINDER_HINT));
  editor.finderFull = static_cast<HICON>(
      LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDI_FINDER_FULL), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  editor.finderEmpty = static_cast<HICON>(
      LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDI_FINDER_EMPTY), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  SendDlgItemMessageA(dialog, IDC_FINDER, STM_SETICON, reinterpret_cast<WPARAM>(editor.finderFull), 0);
  UpdateFields(dialog);
  Problem problem;
  CheckFields(editor, problem);
}

// --- the window finder ---


bool OverFinder(const Editor& editor, POINT client) {
  RECT icon;
  GetWindowRect(GetDlgItem(editor.dialog, IDC_FINDER), &icon);
  MapWindowPoints(nullptr, editor.dialog, reinterpret_cast<POINT*>(&icon), 2);
  return PtInRect(&icon, client) != FALSE;
}

const char* NameOfFrame(const FoundWindow& found) { return found.frameTitle[0] ? found.frameTitle : found.frameClass; }

// What lies under the mouse, in the three lines under the finder and as a
// frame on screen.
void ShowFound(Editor& editor) {
  HWND d = editor.dialog;
  if (!editor.hasFound) {
    SetFieldText(d, IDC_FINDER_CLASS, "");
    SetFieldText(d, IDC_FINDER_TITLE, "");
    SetFieldText(d, IDC_FINDER_RECT, "");
    SetFieldText(d, IDC_FINDER_HINT, LoadText(IDS_FINDER_HINT));
    editor.frame.Hide();
    return;
  }
  const FoundWindow& found = editor.found;
  const RECT& r = found.rect;
  SetFieldText(d, IDC_FINDER_CLASS, FormatText(IDS_FINDER_CLASS, found.className));
  SetFieldText(d, IDC_FINDER_TITLE, FormatText(IDS_FINDER_TITLE, found.title));
  SetFieldText(d, IDC_FINDER_RECT, FormatText(IDS_FINDER_RECT, static_cast<int>(r.left), static_cast<int>(r.top),
                                              static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)));
  SetFieldText(d, IDC_FINDER_HINT, found.mdiChild ? FormatText(IDS_FINDER_MDI_CHILD, NameOfFrame(found))
                                                  : LoadText(IDS_FINDER_HINT));
  editor.frame.Show(r);
}

void StartDrag(Editor& editor) {
  editor.dragging = true;
  editor.hasFound = false;
  editor.frame.Open(editor.dialog);
  SetCapture(editor.dialog);
  SetCursor(LoadCursorA(nullptr, IDC_CROSS));
  SendDlgItemMessageA(editor.dialog, IDC_FINDER, STM_SETICON, reinterpret_cast<WPARAM>(editor.finderEmpty), 0);
}

void TrackDrag(Editor& editor, POINT client) {
  POINT screen = client;
  ClientToScreen(editor.dialog, &screen);
  editor.hasFound = FindWindowAt(screen, editor.found);
  ShowFound(editor);
}

// Ends a drag without taking anything; safe to call when none runs.
void EndDrag(Editor& editor) {
  if (!editor.dragging) return;
  editor.dragging = false;
  editor.frame.Close();
  if (GetCapture() == editor.dialog) ReleaseCapture();
  SendDlgItemMessageA(editor.dialog, IDC_FINDER, STM_SETICON, reinterpret_cast<WPARAM>(editor.finderFull), 0);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void SetPlacementNote(Editor& editor, const TextBuffer& note) {
  SetWindowTextA(editor.dialog, LoadText(editor.child ? IDS_ADD_CHILD : IDS_ADD_TARGET).CString());
  SetFieldText(editor.dialog, IDC_REFERENCE_NOTE, note);
}

// The note with a rule's name in it, the name shortened to fit the line.
void SetPlacementNote(Editor& editor, UINT format, const char* name) {
  SetPlacementNote(editor, FitNameInto(GetDlgItem(editor.dialog, IDC_REFERENCE_NOTE), format, name));
}

// A new rule for an MDI child: offered as a child rule of the first rule
// that matches the child's frame, or of a new rule made for that frame.
void OfferChildRule(Editor& editor, const LeadByteTable& leads) {
  const FoundWindow& found = editor.found;
  const RuleList* list = editor.request.list;
  if (editor.request.child) {
    if (list && editor.request.parent >= 0 && static_cast<size_t>(editor.request.parent) < list->Size() &&
        !MatchTarget(found.frameClass, found.frameTitle, (*list)[editor.request.parent].record, leads)) {
      SetFieldText(editor.dialog, IDC_FINDER_HINT, LoadText(IDS_FINDER_NOT_PARENT));
    }
    return;
  }
  // An existing rule stays what it is: it may have child rules of its own.
  if (!editor.request.adding || !list) return;
  const int answer = ShowMessage(editor.dialog, FormatText(IDS_FINDER_MDI_OFFER, NameOfFrame(found)),
                                 MB_YESNO | MB_ICONQUESTION);
  if (!IsWindow(editor.dialog) || answer != IDYES) return;
  editor.child = true;
  for (size_t i = 0; i < list->Size(); ++i) {
    const TargetRecord& target = (*list)[i].record;
    if (MatchTarget(found.frameClass, found.frameTitle, target, leads)) {
      editor.result.placement = Placement::kChildOfTarget;
      editor.result.parent = static_cast<int32_t>(i);
      SetPlacementNote(editor, IDS_REFERENCE_PARENT, DisplayName(target).CString());
      return;
    }
  }
  TargetRecord parent = DefaultRule();
  bool cut = false;
  const TextView frameClass = FitPatternText(found.frameClass, kMaxPatternBytes, leads, cut);
  std::memcpy(parent.classPattern, frameClass.data, frameClass.size);
  parent.classMatch = cut ? kMatchBegins : kMatchEquals;
  const TextView name = FitPatternText(NameOfFrame(found), kMaxNameBytes, leads, cut);
  std::memcpy(RuleName(parent), name.data, name.size);
  editor.result.placement = Placement::kChildOfNewTarget;
  editor.result.newParent = parent;
  SetPlacementNote(editor, IDS_REFERENCE_NEW_PARENT, RuleName(parent));
}

// The finder let go over a window: its class name becomes the rule's
// condition. The title goes into its field with the mode left at "any":
// a title changes with the document a window shows, so the user opts in.
void TakeFound(Editor& editor) {
  HWND d = editor.dialog;
  const LeadByteTable leads = SystemLeads();
  bool classCut = false;
  bool titleCut = false;
  // Cut to what a pattern holds; the NUL goes where the cut falls.
  FoundWindow& found = editor.found;
  const TextView className = FitPatternText(found.className, kMaxPatternBytes, leads, classCut);
  found.className[className.size] = '\0';
  const TextView title = FitPatternText(found.title, kMaxPatternBytes, leads, titleCut);
  found.title[title.size] = '\0';
  SetFieldText(d, IDC_CLASS, found.className);
  SetChoice(d, IDC_CLASS_MODE, classCut ? kMatchBegins : kMatchEquals);
  SetFieldText(d, IDC_TITLE, found.title);
  SetChoice(d, IDC_TITLE_MODE, kMatchAny);
  if (titleCut) SetFieldText(d, IDC_FINDER_HINT, LoadText(IDS_FINDER_CUT));
  if (editor.found.mdiChild) {
    OfferChildRule(editor, leads);
    if (!IsWindow(d)) return;
  } else if (editor.request.adding && !editor.request.child && editor.child) {
    // A second drag onto a top-level window takes back the child rule.
    editor.child = false;
    editor.result.placement = Placement::kAsAsked;
    SetPlacementNote(editor, LoadText(IDS_REFERENCE_WORK_AREA));
  }
  UpdateFields(d);
  Problem problem;
  CheckFields(editor, problem);
}

void DropFinder(Editor& editor) {
  const bool take = editor.hasFound;
  EndDrag(editor);
  if (take) TakeFound(editor);
}

void RequestHelp(const Editor& editor, int controlId) {
  if (editor.request.channel) editor.request.channel->RequestHelp(HelpTopicOf(controlId, IDH_RULE_EDITOR));
}

INT_PTR CALLBACK EditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* editor = reinterpret_cast<Editor*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      editor = reinterpret_cast<Editor*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      editor->dialog = dialog;
      SetUpEditor(*editor);
      return TRUE;
    case WM_COMMAND: {
      if (!editor) break;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDOK) {
        Confirm(*editor);
        return TRUE;
      }
      if (id == IDCANCEL) {
        // Esc while the finder is dragged ends the drag, not the editor.
        if (editor->dragging) {
          EndDrag(*editor);
        } else {
          EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
      }
      if (id == IDC_RULE_HELP) {
        RequestHelp(*editor, 0);
        return TRUE;
      }
      if (code == CBN_SELCHANGE || code == BN_CLICKED || code == EN_CHANGE) {
        UpdateFields(dialog);
        Problem problem;
        CheckFields(*editor, problem);
        return TRUE;
      }
      break;
    }
    case WM_HELP: {
      if (!editor) break;
      const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
      RequestHelp(*editor, info && info->iContextType == HELPINFO_WINDOW ? info->iCtrlId : 0);
      return TRUE;
    }
    // A press that follows the last one quickly arrives as a double click.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (editor && !editor->dragging && OverFinder(*editor, point)) {
        StartDrag(*editor);
        return TRUE;
      }
      break;
    }
    case WM_MOUSEMOVE:
      if (editor && editor->dragging) {
        TrackDrag(*editor, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
      }
      break;
    case WM_LBUTTONUP:
      if (editor && editor->dragging) {
        TrackDrag(*editor, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        DropFinder(*editor);
        return TRUE;
      }
      break;
    case WM_CAPTURECHANGED:
      // Capture taken away (another window, a system key): the drag ends.
      if (editor && editor->dragging && reinterpret_cast<HWND>(lParam) != dialog) EndDrag(*editor);
      break;
    case WM_DESTROY:
      if (editor) EndDrag(*editor);
      break;
    case WM_CTLCOLORSTATIC:
      if (editor && editor->frame.Owns(reinterpret_cast<HWND>(lParam))) {
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_HIGHLIGHT));
      }
      if (editor && editor->statusIsError && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_RULE_STATUS) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(192, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    default:
      break;
  }
  return FALSE;
}


}  // namespace

bool EditRule(HWND owner, const RuleEditorRequest& request, RuleEditorResult& result) {
  result = RuleEditorResult{};
  result.record = request.record;
  Editor editor(request, result);
  const INT_PTR answer =
      DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(IDD_RULE), owner, EditorProc, reinterpret_cast<LPARAM>(&editor));
  // The icons outlive the editor's controls, which only borrowed them.
  if (editor.finderFull) DestroyIcon(editor.finderFull);
  if (editor.finderEmpty) DestroyIcon(editor.finderEmpty);
  return answer == IDOK;
}
