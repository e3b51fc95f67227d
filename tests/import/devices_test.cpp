#include "import/acquirescan.h"
#include "platform/removabledevices.h"
#include "tests/import/testcard.h"

#include <QDir>
#include <QStorageInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::acquire;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

TEST(AcquireScan, ListsAFoldersFilesFirstThenItsSubFoldersInNameOrder) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    // A file at the top comes before every folder's files; "img2" before
    // "IMG10" (digits as numbers, case ignored).
    test::writeBytes(dir.file("card/TOP.JPG"), {1});
    test::writeBytes(dir.file("card/DCIM/101CANON/img2.jpg"), {1});
    test::writeBytes(dir.file("card/DCIM/101CANON/IMG10.JPG"), {1});
    const AcquireScan::Result r = AcquireScan::scan(card.root);
    EXPECT_TRUE(r.readable);
    std::vector<std::string> want = {dir.file("card/TOP.JPG")};
    want.insert(want.end(), card.listed.begin(), card.listed.end());
    want.push_back(dir.file("card/DCIM/101CANON/img2.jpg"));
    want.push_back(dir.file("card/DCIM/101CANON/IMG10.JPG"));
    EXPECT_EQ(r.files, want);
    EXPECT_TRUE(AcquireScan::hasAcceptedFile(card.root));
}

TEST(AcquireScan, EmptyOrUnreadableDevices) {
    ScratchDir dir;
    fs::create_directories(dir.file("empty/DCIM/100CANON"));
    test::writeBytes(dir.file("empty/DCIM/notes.txt"), {1});
    EXPECT_FALSE(AcquireScan::hasAcceptedFile(dir.file("empty")));
    EXPECT_TRUE(AcquireScan::scan(dir.file("empty")).readable);
    EXPECT_TRUE(AcquireScan::scan(dir.file("empty")).files.empty());
    EXPECT_FALSE(AcquireScan::scan(dir.file("missing")).readable);
    EXPECT_FALSE(AcquireScan::hasAcceptedFile(dir.file("missing")));
    // A link to a folder above is not followed.
    fs::create_directory_symlink(dir.file("empty"), dir.file("empty/DCIM/loop"));
    EXPECT_TRUE(AcquireScan::scan(dir.file("empty")).files.empty());
}

TEST(Devices, FolderListIsHandedBackAndACdromMayNotDelete) {
    ScratchDir dir;
    FolderDevices d({{QString::fromStdString(dir.file("card")), QStringLiteral("CARD"), false},
                     {QString::fromStdString(dir.file("cd")), QStringLiteral("CD"), true}});
    ASSERT_EQ(d.volumes().size(), 2);
    EXPECT_TRUE(d.volumes()[0].mayDelete());
    EXPECT_FALSE(d.volumes()[1].mayDelete());
}

TEST(Devices, CdromAndMediaMountRules) {
    EXPECT_TRUE(MountedDevices::isCdrom("iso9660", "/dev/loop3"));
    EXPECT_TRUE(MountedDevices::isCdrom("udf", "/dev/sdc"));
    EXPECT_TRUE(MountedDevices::isCdrom("vfat", "/dev/sr0"));
    EXPECT_FALSE(MountedDevices::isCdrom("vfat", "/dev/sdb1"));
    EXPECT_TRUE(MountedDevices::isMediaMount("/media/user/CARD"));
    EXPECT_TRUE(MountedDevices::isMediaMount("/run/media/user/CARD"));
    EXPECT_FALSE(MountedDevices::isMediaMount("/mnt/card"));
    EXPECT_FALSE(MountedDevices::isMediaMount("/mediabox"));
}

TEST(Devices, RemovableBlockDevicesBySysfs) {
    ScratchDir dir;
    const std::string sys = dir.file("sys");
    // sdb: a card reader marked removable; sdc: a USB disk; sda: a fixed disk.
    auto disk = [&](const std::string& where, const std::string& name, const char* removable) {
        const std::string d = sys + "/devices/" + where + "/block/" + name;
        fs::create_directories(d + "/" + name + "1");
        test::writeBytes(d + "/" + name + "1/partition", {'1'});
        test::writeBytes(d + "/removable", {uint8_t(removable[0]), '\n'});
        fs::create_directories(sys + "/class/block");
        fs::create_directory_symlink(d, sys + "/class/block/" + name);
        fs::create_directory_symlink(d + "/" + name + "1", sys + "/class/block/" + name + "1");
    };
    disk("pci0000:00/ata1/host0", "sda", "0");
    disk("pci0000:00/ata2/host1", "sdb", "1");
    disk("pci0000:00/usb2/2-1/host2", "sdc", "0");
    disk("platform/mmc_host/mmc0/mmc0:0001", "mmcblk0", "0");
    const QString root = QString::fromStdString(sys);
    EXPECT_FALSE(MountedDevices::isRemovableBlockDevice("/dev/sda1", root));
    EXPECT_FALSE(MountedDevices::isRemovableBlockDevice("/dev/sda", root));
    EXPECT_TRUE(MountedDevices::isRemovableBlockDevice("/dev/sdb1", root));
    EXPECT_TRUE(MountedDevices::isRemovableBlockDevice("/dev/sdb", root));
    EXPECT_TRUE(MountedDevices::isRemovableBlockDevice("/dev/sdc1", root));
    EXPECT_TRUE(MountedDevices::isRemovableBlockDevice("/dev/mmcblk01", root));
    EXPECT_FALSE(MountedDevices::isRemovableBlockDevice("/dev/../sdb1", root));
    EXPECT_FALSE(MountedDevices::isRemovableBlockDevice("tmpfs", root));
    EXPECT_FALSE(MountedDevices::isRemovableBlockDevice("/dev/nothere", root));
}

TEST(Devices, CameraFolderAtTheRoot) {
    ScratchDir dir;
    fs::create_directories(dir.file("a/dcim"));
    fs::create_directories(dir.file("b/x/DCIM"));
    EXPECT_TRUE(MountedDevices::hasCameraFolder(QString::fromStdString(dir.file("a"))));
    EXPECT_FALSE(MountedDevices::hasCameraFolder(QString::fromStdString(dir.file("b"))));
}

namespace {
bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}
} // namespace

// A FAT card image, loop-mounted, found as a mounted volume with a DCIM folder.
TEST(Devices, LoopMountedFatCardIsFound) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string image = dir.file("card.img"), mountPoint = dir.file("mnt");
    fs::create_directories(mountPoint);
    if (::geteuid() != 0 || !run("command -v losetup") || !run("command -v mkfs.vfat"))
        GTEST_SKIP() << "needs root, losetup and mkfs.vfat";
    if (!run("truncate -s 16M " + test::shellQuoteArg(image)) ||
        !run("mkfs.vfat " + test::shellQuoteArg(image)))
        GTEST_SKIP() << "cannot make a FAT image";
    if (!run("mount -o loop " + test::shellQuoteArg(image) + " " + test::shellQuoteArg(mountPoint)))
        GTEST_SKIP() << "loop devices cannot be mounted here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    const auto card = test::makeTestCard(mountPoint);
    QStorageInfo::mountedVolumes(); // refreshed on each call
    bool found = false;
    for (const DeviceVolume& v : MountedDevices().volumes())
        if (QDir(v.path).canonicalPath() ==
            QDir(QString::fromStdString(mountPoint)).canonicalPath())
            found = !v.cdrom;
    EXPECT_TRUE(found);
    const auto r = AcquireScan::scan(mountPoint);
    EXPECT_EQ(r.files, card.listed);
}
