#include "drive_list.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "message_boxes.h"
#include "qt_modal.h"
#include "test_support.h"
#include "unit2.h"

namespace {

using test_support::WorkingDirectory;
using test_support::TempFolder;
using test_support::WhenModal;

// A private mount namespace, entered before main (while the process has one thread),
// lets the tests below mount real file systems that nobody else sees.
const bool kPrivateMounts = [] {
  if (::unshare(CLONE_NEWNS) != 0) return false;
  return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}();

const char* const kSample =
    "21 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "22 21 0:22 / /proc rw,nosuid,nodev,noexec shared:12 - proc proc rw\n"
    "23 21 0:5 / /dev rw,nosuid shared:2 - devtmpfs udev rw,size=8000k\n"
    "24 21 0:25 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,mode=755\n"
    "25 21 0:26 / /tmp rw,nosuid,nodev shared:6 master:3 - tmpfs tmpfs rw\n"
    "26 21 8:17 / /media/user/USB\\040STICK rw,nosuid,nodev - vfat /dev/sdb1 rw\n"
    "27 21 0:40 / /mnt/share rw,relatime - nfs4 fileserver:/export/share rw,vers=4.2\n"
    "28 21 0:41 / /mnt/win rw,relatime - cifs //winhost/Public rw\n"
    "29 21 11:0 / /media/cdrom ro,nosuid - iso9660 /dev/sr0 ro\n"
    "30 21 0:48 / /home rw,relatime shared:7 - btrfs /dev/sda3 rw,subvol=/home\n"
    "31 21 7:1 / /snap/core/123 ro,nodev - squashfs /dev/loop1 ro\n"
    "32 21 0:50 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw,lowerdir=x\n"
    "33 24 0:51 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "34 24 0:60 / /run/user/1000 rw,nosuid - tmpfs tmpfs rw,size=800k\n"
    "35 24 179:1 / /run/media/user/CARD rw - exfat /dev/mmcblk0p1 rw\n"
    "36 21 0:62 / /mnt/remote rw - fuse.sshfs me@host:/data rw,user_id=0\n"
    "37 21 8:4 / /data rw - xfs /dev/sda4 rw\n"
    "38 21 0:70 / /mnt/ro-ram ro - tmpfs tmpfs ro\n"
    "39 21 8:33 / /mnt/usbdisk rw - ext4 /dev/sdc1 rw\n"
    "40 21 8:2 /etc/hosts /etc/hosts rw - ext4 /dev/sda2 rw\n"
    "41 21 0:90 / /weird rw - unknownfs thing rw\n"
    "this line is not a mount\n"
    "42 21 8:5 / /boot/efi rw - vfat /dev/sda1 rw\n"
    "43 21 0:91 / /mnt/ram rw - ramfs ramfs rw\n"
    "44 21 0:92 / /mnt/stacked rw - ext4 /dev/sdd1 rw\n"
    "45 21 0:93 / /mnt/stacked rw - iso9660 /dev/sr1 ro\n"
    "46 21 8:6 / /mnt/tab\\011and\\134slash rw - ext4 /dev/sda6 rw";  // no final newline

class FakeProbe : public TDriveProbe {
 public:
  bool IsRemovableDevice(const TMountEntry& m) const override {
    asked.insert(m.MountPoint);
    return m.Source == "/dev/sdc1" || m.Source == "/dev/sdb1";
  }
  std::string VolumeLabel(const TMountEntry& m) const override {
    static const std::map<std::string, std::string> labels = {
        {"/dev/sda2", "root"}, {"/dev/sda3", "Home Disk"}, {"/dev/sr0", "DVD"},
        {"/dev/sdb1", "STICK"}, {"/dev/sr1", "CD2"}};
    labelsAsked.insert(m.MountPoint);
    const auto it = labels.find(m.Source);
    return it == labels.end() ? std::string() : it->second;
  }
  bool IsFolder(const std::string& path) const override { return path != "/etc/hosts"; }
  mutable std::set<std::string> asked, labelsAsked;
};

TEST(MountInfo, ParsesFieldsEscapesAndOptionalFields) {
  const std::vector<TMountEntry> mounts = ParseMountInfo(kSample);
  ASSERT_EQ(mounts.size(), 26u);  // every line but the one that is no mount
  EXPECT_EQ(mounts[0].Device, "8:2");
  EXPECT_EQ(mounts[0].MountPoint, "/");
  EXPECT_EQ(mounts[0].Options, "rw,relatime");
  EXPECT_EQ(mounts[0].FsType, "ext4");
  EXPECT_EQ(mounts[0].Source, "/dev/sda2");
  // Two optional fields before the separator.
  EXPECT_EQ(mounts[4].MountPoint, "/tmp");
  EXPECT_EQ(mounts[4].FsType, "tmpfs");
  // No optional field at all.
  EXPECT_EQ(mounts[6].FsType, "nfs4");
  EXPECT_EQ(mounts[6].Source, "fileserver:/export/share");
  EXPECT_EQ(mounts[5].MountPoint, "/media/user/USB STICK");
  EXPECT_EQ(mounts.back().MountPoint, "/mnt/tab\tand\\slash");
}

TEST(MountInfo, SkipsLinesWithoutTheMountFields) {
  EXPECT_TRUE(ParseMountInfo("").empty());
  EXPECT_TRUE(ParseMountInfo("\n\n").empty());
  EXPECT_TRUE(ParseMountInfo("1 2 3\n").empty());
  // No separator, or nothing after it.
  EXPECT_TRUE(ParseMountInfo("21 1 8:2 / / rw shared:1 ext4 /dev/sda2 rw\n").empty());
  EXPECT_TRUE(ParseMountInfo("21 1 8:2 / / rw -\n").empty());
  EXPECT_TRUE(ParseMountInfo("21 1 8:2 / / rw - ext4\n").empty());
  // A mount point must be absolute.
  EXPECT_TRUE(ParseMountInfo("21 1 8:2 / relative rw - ext4 /dev/sda2 rw\n").empty());
  // An escape cut short by the end of the field stays as it is.
  const auto cut = ParseMountInfo("21 1 8:2 / /a\\04 rw - ext4 /dev/x rw\n");
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].MountPoint, "/a\\04");
  // Without the super options the line still names type and source.
  const auto shortLine = ParseMountInfo("21 1 8:2 / /b rw - ext4 /dev/y\n");
  ASSERT_EQ(shortLine.size(), 1u);
  EXPECT_EQ(shortLine[0].Source, "/dev/y");
}

TEST(DriveList, OneItemPerUsableMountWithTheTextOfItsType) {
  FakeProbe probe;
  const std::vector<TDriveItem> drives = ListDrives(ParseMountInfo(kSample), probe);
  struct Expected { std::string mountPoint; TDriveType type; std::string text; };
  const std::vector<Expected> expected = {
      {"/", TDriveType::Fixed, "/ [root]"},
      {"/data", TDriveType::Fixed, "/data []"},
      {"/home", TDriveType::Fixed, "/home [Home Disk]"},
      {"/media/cdrom", TDriveType::CdRom, "/media/cdrom [DVD]"},
      {"/media/user/USB STICK", TDriveType::Removable, "/media/user/USB STICK"},
      {"/mnt/ram", TDriveType::Ram, "/mnt/ram []"},
      {"/mnt/remote", TDriveType::Remote, "/mnt/remote me@host:/data"},
      {"/mnt/share", TDriveType::Remote, "/mnt/share fileserver:/export/share"},
      {"/mnt/stacked", TDriveType::CdRom, "/mnt/stacked [CD2]"},  // the later mount wins
      {"/mnt/tab\tand\\slash", TDriveType::Fixed, "/mnt/tab\tand\\slash []"},
      {"/mnt/usbdisk", TDriveType::Removable, "/mnt/usbdisk"},
      {"/mnt/win", TDriveType::Remote, "/mnt/win //winhost/Public"},
      {"/run/media/user/CARD", TDriveType::Removable, "/run/media/user/CARD"},
      {"/tmp", TDriveType::Ram, "/tmp []"},
  };
  ASSERT_EQ(drives.size(), expected.size());
  for (std::size_t i = 0; i < drives.size(); ++i) {
    EXPECT_EQ(drives[i].MountPoint, expected[i].mountPoint) << i;
    EXPECT_EQ(drives[i].Type, expected[i].type) << drives[i].MountPoint;
    EXPECT_EQ(drives[i].Text, expected[i].text) << drives[i].MountPoint;
  }
  // Removable media are not asked for their label.
  EXPECT_EQ(probe.labelsAsked.count("/media/user/USB STICK"), 0u);
  EXPECT_EQ(probe.labelsAsked.count("/mnt/usbdisk"), 0u);
}

TEST(DriveList, ClassifiesByTypePlaceAndWritability) {
  const auto classify = [](std::string type, std::string mountPoint, std::string options = "rw",
                           bool removable = false) {
    return ClassifyMount(TMountEntry{"0:1", mountPoint, options, type, "src"}, removable);
  };
  for (const char* pseudo : {"proc", "sysfs", "cgroup", "cgroup2", "devpts", "mqueue", "debugfs",
                             "tracefs", "securityfs", "pstore", "bpf", "configfs", "fusectl",
                             "hugetlbfs", "autofs", "squashfs", "fuse.gvfsd-fuse"}) {
    EXPECT_EQ(classify(pseudo, "/mnt/x"), std::nullopt) << pseudo;
  }
  for (const char* system : {"/proc/x", "/sys", "/dev/shm", "/run", "/run/user/0", "/boot",
                             "/var/lib/docker/overlay2/m", "/snap/x"}) {
    EXPECT_EQ(classify("tmpfs", system), std::nullopt) << system;
    EXPECT_EQ(classify("ext4", system), std::nullopt) << system;
  }
  // Only whole folder names count: /devices and /runner are ordinary places.
  EXPECT_EQ(classify("ext4", "/devices"), TDriveType::Fixed);
  EXPECT_EQ(classify("tmpfs", "/runner"), TDriveType::Ram);
  EXPECT_EQ(classify("tmpfs", "/scratch", "ro,nosuid"), std::nullopt);
  EXPECT_EQ(classify("tmpfs", "/scratch", "rw,nosuid"), TDriveType::Ram);
  EXPECT_EQ(classify("overlay", "/"), TDriveType::Fixed);  // a container's own root
  for (const char* network : {"nfs", "nfs4", "cifs", "smb3", "9p", "fuse.sshfs"}) {
    EXPECT_EQ(classify(network, "/net/x"), TDriveType::Remote) << network;
  }
  for (const char* optical : {"iso9660", "udf"}) {
    EXPECT_EQ(classify(optical, "/media/cd", "ro", true), TDriveType::CdRom) << optical;
  }
  for (const char* disk : {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "vfat", "exfat",
                           "ntfs", "ntfs3", "fuseblk", "fuse.mergerfs"}) {
    EXPECT_EQ(classify(disk, "/srv"), TDriveType::Fixed) << disk;
    EXPECT_EQ(classify(disk, "/srv", "rw", true), TDriveType::Removable) << disk;
    EXPECT_EQ(classify(disk, "/media/stick"), TDriveType::Removable) << disk;
    EXPECT_EQ(classify(disk, "/run/media/me/stick"), TDriveType::Removable) << disk;
  }
  EXPECT_EQ(classify("mysteryfs", "/srv"), std::nullopt);
}

TEST(DriveList, DriveOfFolderIsTheLongestMountPointAboveIt) {
  const std::vector<TDriveItem> drives = {{"/", TDriveType::Fixed, ""},
                                          {"/home", TDriveType::Fixed, ""},
                                          {"/home/me/usb", TDriveType::Removable, ""}};
  EXPECT_EQ(DriveOfFolder(drives, "/"), 0);
  EXPECT_EQ(DriveOfFolder(drives, "/etc"), 0);
  EXPECT_EQ(DriveOfFolder(drives, "/homer"), 0);
  EXPECT_EQ(DriveOfFolder(drives, "/home"), 1);
  EXPECT_EQ(DriveOfFolder(drives, "/home/me"), 1);
  EXPECT_EQ(DriveOfFolder(drives, "/home/me/usb/x/y"), 2);
  EXPECT_EQ(DriveOfFolder(drives, "/home/me/usbx"), 1);
  EXPECT_EQ(DriveOfFolder(drives, "relative"), -1);
  EXPECT_EQ(DriveOfFolder({}, "/"), -1);
  const std::vector<TDriveItem> noRoot = {{"/data", TDriveType::Fixed, ""}};
  EXPECT_EQ(DriveOfFolder(noRoot, "/etc"), -1);
}

TEST(SystemDrives, TheTemporaryFolderLiesOnAListedDrive) {
  TempFolder temp;
  const std::vector<TDriveItem> drives = SystemDrives();
  ASSERT_FALSE(drives.empty());
  EXPECT_GE(DriveOfFolder(drives, temp.Path().string()), 0);
  for (const TDriveItem& d : drives) {
    EXPECT_TRUE(std::filesystem::is_directory(d.MountPoint)) << d.MountPoint;
    EXPECT_FALSE(d.MountPoint.rfind("/proc", 0) == 0 || d.MountPoint.rfind("/sys", 0) == 0)
        << d.MountPoint;
  }
  TSystemDriveProbe probe;
  EXPECT_TRUE(probe.IsFolder(temp.Path().string()));
  EXPECT_FALSE(probe.IsFolder(temp.WriteFile("f", "x")));
  EXPECT_FALSE(probe.IsFolder(temp.Path().string() + "/missing"));
  // A file system without a block device is neither removable nor labelled.
  const TMountEntry ram{"0:77", temp.Path().string(), "rw", "tmpfs", "tmpfs"};
  EXPECT_FALSE(probe.IsRemovableDevice(ram));
  EXPECT_EQ(probe.VolumeLabel(ram), "");
}

// A tmpfs mounted for one test, in the private namespace; unmounted at the end.
class ScopedMount {
 public:
  ScopedMount(const std::string& where, const char* options)
      : where_(where), ok_(::mount("tmpfs", where.c_str(), "tmpfs", 0, options) == 0) {}
  ~ScopedMount() { Unmount(); }
  bool ok() const { return ok_; }
  void Unmount() {
    if (ok_) ::umount2(where_.c_str(), MNT_DETACH);
    ok_ = false;
  }

 private:
  std::string where_;
  bool ok_;
};

TEST(SystemDrives, AWritableTmpfsIsARamDriveAReadOnlyOneIsNot) {
  if (!kPrivateMounts) GTEST_SKIP() << "no private mount namespace (needs CAP_SYS_ADMIN)";
  TempFolder temp;
  const std::string rw = temp.MakeFolder("ram drive");
  const std::string ro = temp.MakeFolder("ro");
  ScopedMount writable(rw, "size=1m");
  ScopedMount readOnly(ro, "size=1m");
  ASSERT_TRUE(writable.ok() && readOnly.ok());
  ASSERT_EQ(::mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
  const std::vector<TDriveItem> drives = SystemDrives();
  const int ram = DriveOfFolder(drives, rw);
  ASSERT_GE(ram, 0);
  EXPECT_EQ(drives[static_cast<std::size_t>(ram)].MountPoint, rw);  // space unescaped
  EXPECT_EQ(drives[static_cast<std::size_t>(ram)].Type, TDriveType::Ram);
  EXPECT_EQ(drives[static_cast<std::size_t>(ram)].Text, rw + " []");
  const int roDrive = DriveOfFolder(drives, ro);
  ASSERT_GE(roDrive, 0);
  EXPECT_NE(drives[static_cast<std::size_t>(roDrive)].MountPoint, ro);
}

class DriveChoice : public testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const TMessageBoxRequest& r) { boxes.push_back(r); });
  }
  void TearDown() override { SetMessageBoxHook({}); }
  static int IndexOf(QComboBox* combo, const std::string& mountPoint) {
    for (int i = 0; i < combo->count(); ++i) {
      const std::string text = combo->itemText(i).toStdString();
      if (text == mountPoint || text.rfind(mountPoint + " ", 0) == 0) return i;
    }
    return -1;
  }
  std::vector<TMessageBoxRequest> boxes;
};

TEST_F(DriveChoice, ChoosingADriveMovesTheListToItsMountPoint) {
  if (!kPrivateMounts) GTEST_SKIP() << "no private mount namespace (needs CAP_SYS_ADMIN)";
  TempFolder temp;
  const std::string mountPoint = temp.MakeFolder("second");
  ScopedMount second(mountPoint, "size=1m");
  ASSERT_TRUE(second.ok());
  std::filesystem::create_directory(mountPoint + "/inside");
  const std::string start = temp.MakeFolder("start");
  ASSERT_EQ(::chdir(start.c_str()), 0);

  std::string target;
  TForm2 dialog(target, "untitled", {});
  auto* drive1 = dialog.findChild<QComboBox*>("drive1");
  auto* dir1 = dialog.findChild<QListWidget*>("dir1");
  ASSERT_TRUE(drive1 && dir1);
  WhenModal([&](QWidget*) {
    const int ram = IndexOf(drive1, mountPoint);
    const int before = drive1->currentIndex();
    ASSERT_GE(ram, 0);
    ASSERT_NE(ram, before);
    drive1->setCurrentIndex(ram);
    emit drive1->activated(ram);
    EXPECT_EQ(WorkingDirectory(), mountPoint);
    EXPECT_EQ(dir1->item(dir1->currentRow())->text(), "second");
    EXPECT_EQ(dir1->item(dir1->count() - 1)->text(), "inside");

    // Moving out of the mount by the list moves the drive list along.
    dir1->setCurrentRow(dir1->currentRow() - 1);
    QTest::keyClick(dir1, Qt::Key_Return);
    EXPECT_EQ(WorkingDirectory(), temp.Path().string());
    EXPECT_EQ(drive1->currentIndex(), before);

    // A drive that has gone: the report, and both lists stay where they were.
    dir1->setCurrentRow(dir1->count() - 1);
    QTest::keyClick(dir1, Qt::Key_Return);  // into "start", a sibling of the mount
    second.Unmount();
    std::filesystem::remove(mountPoint);
    drive1->setCurrentIndex(ram);
    emit drive1->activated(ram);
    EXPECT_EQ(WorkingDirectory(), start);
    EXPECT_EQ(drive1->currentIndex(), before);
    dialog.findChild<QToolButton*>("SpeedButton1")->click();
  });
  dialog.ShowModal();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Install");
  EXPECT_EQ(boxes[0].Text, "File not found.");
  EXPECT_EQ(target, start);
}

}  // namespace
