#pragma once
// The rule editor's window finder: what lies under the mouse, and the frame
// that shows it on screen while the finder is dragged.
#include <windows.h>

#include <string>

struct FoundWindow {
  HWND window = nullptr;  // the window a rule would name: top-level, or the MDI child
  bool mdiChild = false;
  std::string className;  // in the ANSI code page, as the monitor reads them
  std::string title;
  RECT rect{};
  HWND frame = nullptr;  // for an MDI child: the top-level window around it
  std::string frameClass;
  std::string frameTitle;
};

// The window under a screen point: the top-level window there, or the MDI
// child under it when the point lies in one. False over the desktop and over
// windows of the calling thread (the finder's own).
bool FindWindowAt(POINT screen, FoundWindow& found);

// Four thin bars around a rectangle on screen, above every window. Owned by
// owner; nothing of them is left once this is destroyed.
class FinderFrame {
 public:
  explicit FinderFrame(HWND owner);
  ~FinderFrame();
  FinderFrame(const FinderFrame&) = delete;
  FinderFrame& operator=(const FinderFrame&) = delete;

  void Show(const RECT& rect);
  void Hide();
  // Whether window is one of the bars (they ask their owner for a colour).
  bool Owns(HWND window) const;

 private:
  HWND bars_[4] = {};
};
