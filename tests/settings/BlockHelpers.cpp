#include "BlockHelpers.h"

#include <algorithm>
#include <cstring>

#include "SampleSettings.h"
#include "settings/BlockSettings.h"

SettingsModel ModelOfBlock(const SharedBlock& block) {
  SettingsModel model;
  SnapshotOfBlock(block, model);
  return model;
}

std::string FormatSystem(const SettingsModel& model) {
  SystemCharset charset;
  return FormatText(model, charset.Get());
}

SettingsModel LoadFile(const std::string& path, LoadedFile& loaded) {
  SettingsModel model;
  LoadSettingsFile(path.c_str(), model, loaded);
  return model;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}
