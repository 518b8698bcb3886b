#include "drive_list.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace {

// File systems that hold no user files: kernel interfaces, control files, read-only
// images of packaged software, and desktop helper mounts.
constexpr std::string_view kPseudoTypes[] = {
    "proc",     "sysfs",      "devtmpfs",  "devpts",         "cgroup",       "cgroup2",
    "mqueue",   "debugfs",    "tracefs",   "securityfs",     "pstore",       "bpf",
    "configfs", "fusectl",    "hugetlbfs", "autofs",         "binfmt_misc",  "efivarfs",
    "rpc_pipefs", "nsfs",     "selinuxfs", "squashfs",       "nfsd",
    "fuse.snapfuse", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "fuse.xdg-document-portal",
    "cramfs",   "erofs",
};

// Folders below which nothing is a place to install to: the kernel's views, the
// system's runtime state, boot partitions, and the storage of containers and snaps.
constexpr std::string_view kSystemFolders[] = {
    "/proc", "/sys",  "/dev",            "/run",
    "/boot", "/efi",  "/snap",           "/var/snap",
    "/var/lib/snapd", "/var/lib/docker", "/var/lib/containers",
};

constexpr std::string_view kOpticalTypes[] = {"iso9660", "udf"};

constexpr std::string_view kNetworkTypes[] = {
    "nfs",   "nfs4",      "cifs",     "smb3",       "smbfs",      "ncpfs",
    "afs",   "ceph",      "glusterfs", "9p",        "virtiofs",   "vboxsf",
    "davfs", "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "fuse.glusterfs",
};

constexpr std::string_view kRamTypes[] = {"tmpfs", "ramfs"};

constexpr std::string_view kDiskTypes[] = {
    "ext2",  "ext3",    "ext4",  "xfs",    "btrfs",    "f2fs",  "vfat",
    "msdos", "exfat",   "ntfs",  "ntfs3",  "fuseblk",  "hfs",   "hfsplus",
    "jfs",   "reiserfs", "zfs",  "bcachefs", "nilfs2", "overlay",
};

template <std::size_t N>
bool OneOf(const std::string_view (&names)[N], std::string_view name) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// `path` is `folder` or lies below it.
bool IsAtOrBelow(std::string_view path, std::string_view folder) {
  if (folder == "/") return !path.empty() && path.front() == '/';
  if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || path[folder.size()] == '/';
}

bool HasOption(std::string_view options, std::string_view option) {
  std::size_t start = 0;
  while (start <= options.size()) {
    std::size_t end = options.find(',', start);
    if (end == std::string_view::npos) end = options.size();
    if (options.substr(start, end - start) == option) return true;
    start = end + 1;
  }
  return false;
}

// The kernel writes space, tab, newline and backslash in mount fields as \ooo.
std::string Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// The labels below /dev/disk/by-label are written with \xHH escapes.
std::string DecodeLabel(std::string_view name) {
  const auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      const int high = hexValue(name[i + 2]), low = hexValue(name[i + 3]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    out += name[i];
  }
  return out;
}

// The device number behind a mount: the one in mountinfo, or, for file systems
// that report an anonymous device (btrfs), the block device named as the source.
std::optional<dev_t> BlockDeviceOf(const TMountEntry& mount) {
  unsigned major = 0, minor = 0;
  char colon = 0;
  std::istringstream in(mount.Device);
  if (in >> major >> colon >> minor && colon == ':' && major != 0) return makedev(major, minor);
  struct stat info {};
  if (mount.Source.rfind("/dev/", 0) == 0 && ::stat(mount.Source.c_str(), &info) == 0 &&
      S_ISBLK(info.st_mode)) {
    return info.st_rdev;
  }
  return std::nullopt;
}

bool ReadsOne(const std::string& file) {
  std::ifstream in(file);
  char c = 0;
  return in.get(c) && c == '1';
}

}  // namespace

std::vector<TMountEntry> ParseMountInfo(std::string_view text) {
  std::vector<TMountEntry> mounts;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string_view> f = SplitFields(text.substr(start, end - start));
    start = end + 1;
    // id, parent, major:minor, root, mount point, options, optional fields..., "-",
    // type, source, super options.
    const auto dash = std::find(f.begin() + std::min<std::size_t>(f.size(), 6), f.end(), "-");
    if (f.size() < 8 || dash == f.end() || std::distance(dash, f.end()) < 3) continue;
    if (f[2].find(':') == std::string_view::npos || f[4].empty() || f[4][0] != '/') continue;
    TMountEntry m;
    m.Device = std::string(f[2]);
    m.MountPoint = Unescape(f[4]);
    m.Options = std::string(f[5]);
    m.FsType = Unescape(*(dash + 1));
    m.Source = Unescape(*(dash + 2));
    mounts.push_back(std::move(m));
  }
  return mounts;
}

std::string_view DrivePictureName(TDriveType type) {
  switch (type) {
    case TDriveType::Removable: return "FLOPPY";
    case TDriveType::Fixed: return "HARD";
    case TDriveType::Remote: return "NETWORK";
    case TDriveType::CdRom: return "CDROM";
    case TDriveType::Ram: return "RAM";
  }
  return "HARD";
}

std::optional<TDriveType> ClassifyMount(const TMountEntry& mount, bool removableDevice) {
  const std::string_view type = mount.FsType;
  if (OneOf(kPseudoTypes, type)) return std::nullopt;
  const bool removableFolder =
      IsAtOrBelow(mount.MountPoint, "/media") || IsAtOrBelow(mount.MountPoint, "/run/media");
  if (!removableFolder) {
    for (std::string_view folder : kSystemFolders) {
      if (IsAtOrBelow(mount.MountPoint, folder)) return std::nullopt;
    }
  }
  if (OneOf(kOpticalTypes, type)) return TDriveType::CdRom;
  if (OneOf(kNetworkTypes, type)) return TDriveType::Remote;
  if (OneOf(kRamTypes, type)) {
    if (HasOption(mount.Options, "ro")) return std::nullopt;
    return TDriveType::Ram;
  }
  if (OneOf(kDiskTypes, type) || type.rfind("fuse.", 0) == 0) {
    return removableDevice || removableFolder ? TDriveType::Removable : TDriveType::Fixed;
  }
  return std::nullopt;
}

std::vector<TDriveItem> ListDrives(const std::vector<TMountEntry>& mounts, const TDriveProbe& probe) {
  // A later mount on the same mount point hides the earlier one.
  std::map<std::string, const TMountEntry*> top;
  for (const TMountEntry& m : mounts) top[m.MountPoint] = &m;

  std::vector<TDriveItem> drives;
  for (const auto& [mountPoint, mount] : top) {  // the map keeps them sorted
    const std::optional<TDriveType> type = ClassifyMount(*mount, probe.IsRemovableDevice(*mount));
    if (!type || !probe.IsFolder(mountPoint)) continue;
    TDriveItem item{mountPoint, *type, mountPoint};
    switch (*type) {
      case TDriveType::Removable:
        break;  // the medium is not asked for its label
      case TDriveType::Remote:
        if (!mount->Source.empty() && mount->Source != "none") {
          item.Text += ' ' + mount->Source;
          break;
        }
        [[fallthrough]];
      case TDriveType::Fixed:
      case TDriveType::CdRom:
      case TDriveType::Ram:
        item.Text += " [" + probe.VolumeLabel(*mount) + ']';
        break;
    }
    drives.push_back(std::move(item));
  }
  return drives;
}

int DriveOfFolder(const std::vector<TDriveItem>& drives, std::string_view folder) {
  int best = -1;
  std::size_t bestLength = 0;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    const std::string& mp = drives[i].MountPoint;
    if (IsAtOrBelow(folder, mp) && (best < 0 || mp.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = mp.size();
    }
  }
  return best;
}

bool TSystemDriveProbe::IsRemovableDevice(const TMountEntry& mount) const {
  const std::optional<dev_t> device = BlockDeviceOf(mount);
  if (!device) return false;
  const std::string node = "/sys/dev/block/" + std::to_string(major(*device)) + ':' +
                           std::to_string(minor(*device));
  char* real = ::realpath(node.c_str(), nullptr);
  if (real == nullptr) return false;
  std::string folder(real);
  std::free(real);
  // A partition carries no flag of its own; its disk, the folder above, does.
  struct stat info {};
  if (::stat((folder + "/partition").c_str(), &info) == 0) {
    folder.erase(folder.rfind('/'));
  }
  return ReadsOne(folder + "/removable");
}

std::string TSystemDriveProbe::VolumeLabel(const TMountEntry& mount) const {
  const std::optional<dev_t> device = BlockDeviceOf(mount);
  if (!device) return {};
  const std::string folder = "/dev/disk/by-label";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string label;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::stat((folder + '/' + name).c_str(), &info) == 0 && S_ISBLK(info.st_mode) &&
        info.st_rdev == *device) {
      label = DecodeLabel(name);
      break;
    }
  }
  ::closedir(dir);
  return label;
}

bool TSystemDriveProbe::IsFolder(const std::string& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<TDriveItem> SystemDrives() {
  std::ifstream in("/proc/self/mountinfo", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ListDrives(ParseMountInfo(text), TSystemDriveProbe());
}
