// The start-up choice between the simulated bus and Linux's, the note for
// the operator, and the library transport on a machine without FireWire.
#include "fake_fw_transport.h"
#include "fw_test_util.h"
#include "isolated.h"

#include <fw/FWLinux.h>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using fw::linux1394::restart;

FwBusKind chooseWith(const char *forced, const std::shared_ptr<FakeFireWire> &f) {
    return restart(forced, std::make_unique<FakeTransport>(f));
}

std::string note() {
    const char *n = fw_bus_note();
    return n ? n : "";
}

// A folder of its own for device files.
struct DeviceDir {
    fs::path path;
    DeviceDir() {
        char tmpl[] = "/tmp/tavrin-fwdev-XXXXXX";
        path = mkdtemp(tmpl);
        fs::permissions(path, fs::perms(0755));
    }
    ~DeviceDir() { fs::remove_all(path); }
    std::string add(const std::string &name, fs::perms mode = fs::perms(0666)) {
        std::ofstream(path / name) << "";
        fs::permissions(path / name, mode);
        return (path / name).string();
    }
};

class BusChoice : public ::testing::Test {
protected:
    void TearDown() override {
        unsetenv("TAVRIN_AVC_UNITS");
        fwsim_reset(0);
    }
};

TEST_F(BusChoice, NoDeviceFileMeansTheSimulatedBusWithoutAWord) {
    auto f = FakeFireWire::withDecks({fwsim_add_offbus_unit()});
    f->files = {0, ""};
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_SIM);
    EXPECT_EQ(fw_bus_note(), nullptr);
    EXPECT_TRUE(f->events.empty());  // the libraries were not asked
}

TEST_F(BusChoice, ADeviceFileAndAPortMeanTheLinuxBus) {
    auto f = FakeFireWire::withDecks({fwsim_add_offbus_unit()});
    f->files = {2, ""};
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_LINUX);
    EXPECT_EQ(fw_bus_kind(), FWBUS_LINUX);
    EXPECT_EQ(fw_bus_note(), nullptr);
    EXPECT_EQ(avc_unit_count(), 1);
}

TEST_F(BusChoice, NoPortOrNoBusMeansTheSimulatedDeckAndSaysWhy) {
    setenv("TAVRIN_AVC_UNITS", "2", 1);
    auto f = std::make_shared<FakeFireWire>();  // device files, but no port
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_SIM);
    EXPECT_EQ(note(), "FireWire: no FireWire port was found. Using the simulated deck.");
    EXPECT_EQ(fwsim_unit_count(), 2);  // filled as at start-up
    EXPECT_EQ(avc_unit_count(), 2);
    f->openError = ENOENT;
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_SIM);
    EXPECT_EQ(note(), std::string("FireWire: the bus cannot be opened (") + std::strerror(ENOENT) +
                          "). Using the simulated deck.");
}

TEST_F(BusChoice, NoPermissionNamesTheFileAndTheFix) {
    auto f = std::make_shared<FakeFireWire>();
    f->files = {2, "/nonexistent/fw1"};
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_SIM);
    EXPECT_EQ(note(),
              "No permission on /nonexistent/fw1 (FireWire): add a udev rule such as KERNEL==\"fw*\", "
              "GROUP=\"video\", MODE=\"0660\" and add yourself to the group video (sudo adduser $USER video), "
              "then log in again. Using the simulated deck.");
    // The card opens but the deck's file does not: the Linux bus, and the
    // note says why no deck is found.
    f->nodes.push_back(FakeFireWire::portWith({}, 0x0800460100000100ull));
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_LINUX);
    EXPECT_EQ(note().rfind("No permission on /nonexistent/fw1 (FireWire): ", 0), 0u) << note();
    EXPECT_EQ(avc_unit_count(), 0);
}

TEST_F(BusChoice, AFileOfAGroupNamesThatGroup) {
    group *video = getgrnam("video");
    if (geteuid() != 0 || !video) GTEST_SKIP() << "needs root and a group video";
    DeviceDir dir;
    std::string path = dir.add("fw3", fs::perms(0660));
    ASSERT_EQ(chown(path.c_str(), uid_t(-1), video->gr_gid), 0);
    auto f = std::make_shared<FakeFireWire>();
    f->files = {1, path};
    EXPECT_EQ(chooseWith(nullptr, f), FWBUS_SIM);
    EXPECT_EQ(note(), "No permission on " + path +
                          " (FireWire): add yourself to its group video (sudo adduser $USER video, then log in "
                          "again) or add a udev rule such as KERNEL==\"fw*\", GROUP=\"video\", MODE=\"0660\". "
                          "Using the simulated deck.");
}

TEST_F(BusChoice, TheEnvironmentForcesOneOrTheOther) {
    auto f = FakeFireWire::withDecks({fwsim_add_offbus_unit()});
    EXPECT_EQ(chooseWith("sim", f), FWBUS_SIM);
    EXPECT_TRUE(f->events.empty());
    EXPECT_EQ(fw_bus_note(), nullptr);
    // Linux, asked for, stays Linux without a port: no deck rather than a
    // simulated one.
    auto none = std::make_shared<FakeFireWire>();
    none->files = {0, ""};
    EXPECT_EQ(chooseWith("linux", none), FWBUS_LINUX);
    EXPECT_EQ(note(), "FireWire: no FireWire port was found. No deck (TAVRIN_FIREWIRE=linux).");
    EXPECT_EQ(avc_unit_count(), 0);
    EXPECT_EQ(chooseWith("linux", f), FWBUS_LINUX);
    EXPECT_EQ(avc_unit_count(), 1);
    // Anything else: as the machine has it.
    f->files = {0, ""};
    EXPECT_EQ(chooseWith("firewire", f), FWBUS_SIM);
}

TEST(LibraryTransport, FindsTheDeviceFilesAndNamesOneItMayNotOpen) {
    DeviceDir dir;
    dir.add("fw0");
    std::string fw12 = dir.add("fw12");
    for (const char *other : {"fw", "fwx", "fw1a", "raw1394", "video0"}) dir.add(other);
    auto t = fw::linux1394::libraryTransport(dir.path.string());
    fw::linux1394::DeviceFiles files = t->devices();
    EXPECT_EQ(files.count, 2);
    EXPECT_EQ(files.blocked, "");
    fs::permissions(fw12, fs::perms::none);
    inChild([&] {
        if (geteuid() == 0) {  // root opens anything: look as nobody
            ASSERT_EQ(setgid(65534), 0);
            ASSERT_EQ(setuid(65534), 0);
        }
        fw::linux1394::DeviceFiles seen = fw::linux1394::libraryTransport(dir.path.string())->devices();
        EXPECT_EQ(seen.count, 2);
        EXPECT_EQ(seen.blocked, fw12);
    });
    EXPECT_EQ(fw::linux1394::libraryTransport("/nonexistent")->devices().count, 0);
}

TEST_F(BusChoice, WithoutFireWireTheLibrariesFindNoPort) {
    if (machine_has_firewire()) GTEST_SKIP() << "this machine has FireWire";
    DeviceDir empty, withFile;
    withFile.add("fw0");
    EXPECT_EQ(restart(nullptr, fw::linux1394::libraryTransport(empty.path.string())), FWBUS_SIM);
    EXPECT_EQ(fw_bus_note(), nullptr);
    EXPECT_EQ(restart(nullptr, fw::linux1394::libraryTransport(withFile.path.string())), FWBUS_SIM);
    EXPECT_EQ(note(), "FireWire: no FireWire port was found. Using the simulated deck.");
    EXPECT_EQ(restart("linux", fw::linux1394::libraryTransport(empty.path.string())), FWBUS_LINUX);
    EXPECT_EQ(avc_unit_count(), 0);
}

}  // namespace
