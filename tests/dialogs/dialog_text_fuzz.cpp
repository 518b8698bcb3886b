// Feeds arbitrary bytes to the dialogs' text handling: the mount table parser and
// drive list, and the NFO viewer's line-break normalisation and code page 437 text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cp437.h"
#include "drive_list.h"

namespace {

class AnyProbe : public TDriveProbe {
 public:
  bool IsRemovableDevice(const TMountEntry& m) const override { return m.Device.size() % 2 == 1; }
  std::string VolumeLabel(const TMountEntry& m) const override { return m.Source; }
  bool IsFolder(const std::string& path) const override { return path.size() % 3 != 0; }
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::vector<TMountEntry> mounts = ParseMountInfo(bytes);
  const std::vector<TDriveItem> drives = ListDrives(mounts, AnyProbe());
  for (const TDriveItem& d : drives) {
    Check(!d.MountPoint.empty() && d.MountPoint[0] == '/');
    Check(d.Text.rfind(d.MountPoint, 0) == 0);
    const int found = DriveOfFolder(drives, d.MountPoint);
    Check(found >= 0 && drives[static_cast<std::size_t>(found)].MountPoint == d.MountPoint);
  }

  const std::string text = NormaliseLineBreaks(bytes);
  Check(NormaliseLineBreaks(text) == text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') Check(i + 1 < text.size() && text[i + 1] == '\n');
    if (text[i] == '\n') Check(i > 0 && text[i - 1] == '\r');
  }
  const QString shown = Cp437ToDisplayText(text);
  std::size_t pairs = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) pairs += text[i] == '\r' && text[i + 1] == '\n';
  Check(static_cast<std::size_t>(shown.size()) == text.size() - pairs);
  return 0;
}
