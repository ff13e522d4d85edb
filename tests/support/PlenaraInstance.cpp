#include "PlenaraInstance.h"

#include "app/Commands.h"

PlenaraInstance::PlenaraInstance(Companion companion) : dir_("plenara-app"), companion_(companion) {
  exe_ = dir_.File("Plenara.exe");
  CopyFileTo(ExeDir() + "Plenara.exe", exe_);
  const char* module = companion == Companion::kTest        ? "TestCompanion.dll"
                       : companion == Companion::kNoExports ? "EmptyCompanion.dll"
                       : companion == Companion::kReal      ? "PlenaraDLL.dll"
                                                            : nullptr;
  if (module) CopyFileTo(ExeDir() + module, dir_.File("PlenaraDLL.dll"));
}

PlenaraInstance::~PlenaraInstance() {
  if (process_.Running()) Close(10000);
  process_.Kill();
}

void PlenaraInstance::Configure(const char* key, const std::string& value) {
  WritePrivateProfileStringA("test", key, value.c_str(), dir_.File("companion.ini").c_str());
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, dir_.File("companion.ini").c_str());
}

bool PlenaraInstance::Start() {
  if (!process_.Start(exe_, "", dir_.Path())) return false;
  const DWORD pid = process_.Pid();
  WaitFor([&] { return (main_ = FindWindowOfProcess(kMainClassName, pid)) != nullptr || !process_.Running(); }, 20000);
  if (!main_) return false;
  // The test companion is done with the block once it says so.
  if (companion_ == Companion::kTest) WaitForLog("ReadSetting done", 20000);
  return true;
}

std::string PlenaraInstance::Log() const { return ReadWholeFile(dir_.File("companion.log")); }

bool PlenaraInstance::WaitForLog(const std::string& text, DWORD timeoutMs) const {
  return WaitFor([&] { return Log().find(text) != std::string::npos; }, timeoutMs);
}

DWORD PlenaraInstance::Close(DWORD timeoutMs) {
  if (main_) PostMessageA(main_, WM_CLOSE, 0, 0);
  return process_.WaitExit(timeoutMs);
}

BlockView::BlockView() { mapping_ = OpenSharedMemory(kBlockName, &view_, kBlockSize, &existed_); }

BlockView::~BlockView() {
  if (mapping_) CloseSharedMemory(mapping_, view_);
}

int CountOf(const std::string& log, const std::string& text) {
  int n = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
  return n;
}
