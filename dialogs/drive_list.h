// The drives of the folder dialog's drive list. This system has no drive letters:
// each mounted file system that a user could install to is one drive, named by its
// mount point. The mount table parser and the classification are pure functions;
// what they need to know about devices comes through TDriveProbe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One line of /proc/self/mountinfo, with the kernel's octal escapes undone.
struct TMountEntry {
  std::string Device;      // "major:minor" of the file system
  std::string MountPoint;  // where it is mounted
  std::string Options;     // the mount's own options, e.g. "rw,relatime"
  std::string FsType;      // e.g. "ext4", "nfs4", "fuse.sshfs"
  std::string Source;      // e.g. "/dev/sda1", "server:/export", "//host/share"
};

// Parses mountinfo text, one mount per line; lines that do not have the fields of a
// mountinfo line are skipped.
std::vector<TMountEntry> ParseMountInfo(std::string_view text);

enum class TDriveType { Removable, Fixed, Remote, CdRom, Ram };

// The picture a drive is drawn with: FLOPPY, HARD, NETWORK, CDROM or RAM.
std::string_view DrivePictureName(TDriveType type);

// What the drive list asks of the system about one mount.
class TDriveProbe {
 public:
  virtual ~TDriveProbe() = default;
  // The mount's block device is removable media (e.g. a USB stick, a card).
  virtual bool IsRemovableDevice(const TMountEntry& mount) const = 0;
  // The file system's volume label, or an empty string.
  virtual std::string VolumeLabel(const TMountEntry& mount) const = 0;
  // The mount point is a folder (bind mounts of single files are not drives).
  virtual bool IsFolder(const std::string& path) const = 0;
};

// The type of drive a mount is listed as, or nothing for mounts that are no place
// to install to (kernel and pseudo file systems, system runtime folders, container
// storage, read-only RAM file systems, unknown types).
std::optional<TDriveType> ClassifyMount(const TMountEntry& mount, bool removableDevice);

struct TDriveItem {
  std::string MountPoint;
  TDriveType Type;
  std::string Text;  // what the list shows
};

// The drive list: one item per mount point (a mount that is mounted over hides the
// one below it), sorted by mount point. Removable media show the mount point alone,
// network drives the mount point and the remote name, the others the mount point and
// the bracketed volume label, e.g. "/home [data]".
std::vector<TDriveItem> ListDrives(const std::vector<TMountEntry>& mounts, const TDriveProbe& probe);

// The index of the drive that holds `folder` (an absolute path): the one with the
// longest mount point that is `folder` itself or one of the folders above it; -1 if
// none does.
int DriveOfFolder(const std::vector<TDriveItem>& drives, std::string_view folder);

// The probe that asks this system: /sys/dev/block for removable media,
// /dev/disk/by-label for labels.
class TSystemDriveProbe : public TDriveProbe {
 public:
  bool IsRemovableDevice(const TMountEntry& mount) const override;
  std::string VolumeLabel(const TMountEntry& mount) const override;
  bool IsFolder(const std::string& path) const override;
};

// The drives of this system, from /proc/self/mountinfo.
std::vector<TDriveItem> SystemDrives();
