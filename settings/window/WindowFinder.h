#pragma once
// The rule editor's window finder: what lies under the mouse, and the frame
// that shows it on screen while the finder is dragged.
#include <windows.h>

// Room for a class name (256 at most) and for a title of up to 400
// characters, more than any rule field holds.
constexpr size_t kFoundClassSize = 260;
constexpr size_t kFoundTitleSize = 820;

struct FoundWindow {
  HWND window = nullptr;  // the window a rule would name: top-level, or the MDI child
  bool mdiChild = false;
  char className[kFoundClassSize] = {};  // in the ANSI code page, as the monitor reads them
  char title[kFoundTitleSize] = {};
  RECT rect{};
  HWND frame = nullptr;  // for an MDI child: the top-level window around it
  char frameClass[kFoundClassSize] = {};
  char frameTitle[kFoundTitleSize] = {};
};

// The window under a screen point: the top-level window there, or the MDI
// child under it when the point lies in one. False over the desktop and over
// windows of the calling thread (the finder's own).
bool FindWindowAt(POINT screen, FoundWindow& found);

// Four thin bars around a rectangle on screen, above every window, owned by
// the dialog that opened them; nothing of them is left after Close or once
// this is destroyed.
class FinderFrame {
 public:
  FinderFrame() = default;
  ~FinderFrame() { Close(); }
  FinderFrame(const FinderFrame&) = delete;
  FinderFrame& operator=(const FinderFrame&) = delete;

  void Open(HWND owner);
  void Close();
  void Show(const RECT& rect);
  void Hide();
  // Whether window is one of the bars (they ask their owner for a colour).
  bool Owns(HWND window) const;

 private:
  HWND bars_[4] = {};
};
