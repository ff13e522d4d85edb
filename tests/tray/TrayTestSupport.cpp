#include "TrayTestSupport.h"

#include <cstring>

#include "TestSupport.h"
#include "tray/TrayIconDriver.h"

namespace {
ShellRecorder* g_recorder = nullptr;
ShellNotifyFunction g_forward = nullptr;

uint32_t Digest(uint32_t hash, const void* bytes, size_t n) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 16777619u;
  return hash;
}

uint32_t DigestBitmap(uint32_t hash, HDC dc, HBITMAP bitmap) {
  BITMAP info = {};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return hash;
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = info.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> bits(static_cast<size_t>(info.bmWidth) * info.bmHeight);
  GetDIBits(dc, bitmap, 0, info.bmHeight, bits.data(), &format, DIB_RGB_COLORS);
  for (uint32_t& pixel : bits) pixel &= 0x00FFFFFF;  // the unused byte is not the picture
  return Digest(hash, bits.data(), bits.size() * sizeof bits[0]);
}

NOTIFYICONDATAA Probe(HWND window) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = 0;
  return data;
}
}  // namespace

ShellRecorder::ShellRecorder() {
  g_recorder = this;
  g_forward = ReplaceShellNotify(Record);
}

ShellRecorder::~ShellRecorder() {
  ReplaceShellNotify(g_forward);
  g_recorder = nullptr;
}

BOOL WINAPI ShellRecorder::Record(DWORD message, PNOTIFYICONDATAA data) {
  ShellCall call;
  call.message = message;
  call.cbSize = data->cbSize;
  call.window = data->hWnd;
  call.id = data->uID;
  call.flags = data->uFlags;
  call.callbackMessage = data->uCallbackMessage;
  call.icon = data->hIcon;
  call.picture = IconPicture(data->hIcon);
  call.tip.assign(data->szTip, strnlen(data->szTip, 64));
  call.tick = GetTickCount();
  call.result = g_forward(message, data);
  g_recorder->calls_.push_back(call);
  return call.result;
}

uint32_t IconPicture(HICON icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  HDC dc = GetDC(nullptr);
  uint32_t hash = DigestBitmap(2166136261u, dc, info.hbmColor);
  hash = DigestBitmap(hash, dc, info.hbmMask);
  ReleaseDC(nullptr, dc);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return hash ? hash : 1;
}

bool IconAlive(HICON icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) return false;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return true;
}

HICON MakeSolidIcon(COLORREF colour) {
  const std::vector<uint32_t> pixels(16 * 16, GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour));
  const std::vector<uint8_t> mask(16 * 16 / 8, 0);  // opaque everywhere
  return CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data()));
}

HIMAGELIST MakeFrames(int n) {
  static const COLORREF kColours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0),
                                      RGB(255, 0, 255), RGB(0, 255, 255), RGB(128, 128, 128)};
  HIMAGELIST list = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR24, n, 0);
  for (int i = 0; i < n; ++i) {
    HICON icon = MakeSolidIcon(kColours[i % (sizeof kColours / sizeof kColours[0])]);
    ImageList_ReplaceIcon(list, -1, icon);
    DestroyIcon(icon);
  }
  return list;
}

std::vector<uint32_t> FramePictures(HIMAGELIST list) {
  std::vector<uint32_t> pictures;
  for (int i = 0; i < ImageList_GetImageCount(list); ++i) {
    HICON icon = ImageList_GetIcon(list, i, ILD_NORMAL);
    pictures.push_back(IconPicture(icon));
    DestroyIcon(icon);
  }
  return pictures;
}

bool InShell(HWND window) {
  // A modification that changes nothing succeeds exactly when the icon is there.
  NOTIFYICONDATAA data = Probe(window);
  return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool RemoveFromShell(HWND window) {
  NOTIFYICONDATAA data = Probe(window);
  return Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

void ExpectFixedFields(const std::vector<ShellCall>& calls, HWND hidden) {
  for (const ShellCall& call : calls) {
    SCOPED_TRACE(testing::Message() << "message " << call.message);
    EXPECT_EQ(call.cbSize, 88u);
    EXPECT_EQ(call.window, hidden);
    EXPECT_EQ(call.id, 0u);
    EXPECT_EQ(call.flags, 7u);
    EXPECT_EQ(call.callbackMessage, 1024u);
    if (call.icon) {
      EXPECT_FALSE(IconAlive(call.icon));
    }
  }
}

void TrayTest::SetUp() {
  // The notification area comes up a little after the desktop.
  ASSERT_TRUE(WaitFor([] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; }, 60000))
      << "no notification area";
  owner = CreateWindowExA(0, "STATIC", "tray test owner", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                          nullptr);
  ASSERT_NE(owner, nullptr) << "no window could be made (error " << GetLastError() << ")";
  driver = new TrayIconDriver(owner);
  hidden = driver->HiddenWindow();
  ASSERT_NE(hidden, nullptr);
}

void TrayTest::DeleteDriver() {
  delete driver;
  driver = nullptr;
}

void TrayTest::TearDown() {
  DeleteDriver();
  if (owner && IsWindow(owner)) DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(hidden));
  EXPECT_FALSE(InShell(hidden));
}
