#include "link/Ppdev.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>

#include "tests/link/PpdevFakes.h"

namespace kaldo {
namespace {

using ::testing::HasSubstr;
using Log = std::vector<std::string>;

class PpdevTest : public ::testing::Test {
 public:
  PpdevTest() {
    tree.add("parport0", "888\t1912\n");
    tree.add("parport1", "632\t0\n");
    tree.add("parport2", "53264\t53256\n");  // a PCIe card at 0xD010
    tree.add("parport3", "956\t0\n");
    tree.add("default", "");
  }
  PpdevIoSpace& io() {
    if (!io_) io_ = std::make_unique<PpdevIoSpace>(sys, portBase, clock, HostSystem(root));
    return *io_;
  }

  test::FakeProcTree tree;
  test::FakeProcTree emptyTree;
  test::FakePpdevSystem sys;
  test::FakeClock clock;
  std::string root = tree.root();
  std::uint16_t portBase = 0x0378;
  std::unique_ptr<PpdevIoSpace> io_;
};

TEST_F(PpdevTest, FindsThePortWhoseBaseAddressMatches) {
  struct Case {
    std::uint16_t base;
    const char* device;
  };
  for (Case c : {Case{0x0378, "/dev/parport0"}, Case{0x0278, "/dev/parport1"},
                 Case{0x03BC, "/dev/parport3"}, Case{0xD010, "/dev/parport2"}}) {
    SCOPED_TRACE(c.device);
    sys.log.clear();
    io().selectLpt(c.base);
    io().write(c.base, 0x00);
    ASSERT_FALSE(sys.log.empty());
    EXPECT_EQ(sys.log.front(), std::string("open ") + c.device);
  }
}

TEST_F(PpdevTest, ClaimsThePortBeforeItsFirstRegisterAccess) {
  io().write(0x61, 0x01);  // the timer never reaches the device
  io().read(0x61);
  io().write(0x43, 0xB0);
  EXPECT_TRUE(sys.log.empty());

  sys.statusReads = {0x80};
  EXPECT_EQ(io().read(0x379), 0x80);
  EXPECT_EQ(sys.log, (Log{"open /dev/parport0", "PPCLAIM 3", "PPRSTATUS 3"}));
}

TEST_F(PpdevTest, EachRegisterGoesToItsRequest) {
  io().write(0x0378, 0xC4);
  io().write(0x37A, 0x07);
  io().write(0x379, 0x55);  // the status register cannot be written: no request
  io().read(0x0378);
  io().read(0x37A);
  EXPECT_EQ(sys.log, (Log{"open /dev/parport0", "PPCLAIM 3", "PPWDATA 3 C4", "PPWCONTROL 3 07",
                          "PPRDATA 3", "PPRCONTROL 3"}));
}

TEST_F(PpdevTest, EveryFailureNamesTheDeviceAndTheRemedy) {
  struct Case {
    const char* name;
    std::function<void(PpdevTest&)> setUp;
    std::function<void(PpdevIoSpace&)> access;
    std::vector<std::string> message;
  };
  auto writeData = [](PpdevIoSpace& io) { io.write(0x0378, 0x04); };
  const std::vector<Case> cases = {
      {"no parallel-port driver",
       [](PpdevTest& t) { t.root += "/missing"; },
       writeData,
       {"/proc/sys/dev/parport is missing", "sudo modprobe parport_pc ppdev"}},
      {"no ports listed",
       [](PpdevTest& t) {
         t.emptyTree.file("/proc/sys/dev/parport/default/spintime", "500");
         t.root = t.emptyTree.root();
       },
       writeData,
       {"no parallel port at I/O address 0x0378 (it lists none in "}},
      {"no port at the base",
       [](PpdevTest& t) { t.portBase = 0x02BC; },
       [](PpdevIoSpace& io) { io.write(0x02BC, 0); },
       {"no parallel port at I/O address 0x02BC", "parport0 at 0x0378, parport1 at 0x0278",
        "parport3 at 0x03BC"}},
      {"no device file",
       [](PpdevTest& t) { t.sys.fails["open"] = ENOENT; },
       writeData,
       {"/dev/parport0 (the port at 0x0378) cannot be opened", "sudo modprobe ppdev"}},
      {"no permission",
       [](PpdevTest& t) { t.sys.fails["open"] = EACCES; },
       writeData,
       {"No permission to open /dev/parport0", "group lp", "usermod -aG lp"}},
      {"other open failure",
       [](PpdevTest& t) { t.sys.fails["open"] = EIO; },
       writeData,
       {"Cannot open /dev/parport0", "Input/output error", "ppdev", "group lp"}},
      {"claim refused",
       [](PpdevTest& t) { t.sys.fails["PPCLAIM"] = ENXIO; },
       writeData,
       {"Cannot claim /dev/parport0", "No such device or address", "module ppdev"}},
      {"data write",
       [](PpdevTest& t) { t.sys.fails["PPWDATA"] = EIO; },
       writeData,
       {"Writing the data register of /dev/parport0 failed: Input/output error"}},
      {"control write",
       [](PpdevTest& t) { t.sys.fails["PPWCONTROL"] = EIO; },
       [](PpdevIoSpace& io) { io.write(0x37A, 7); },
       {"Writing the control register of /dev/parport0 failed"}},
      {"status read",
       [](PpdevTest& t) { t.sys.fails["PPRSTATUS"] = EIO; },
       [](PpdevIoSpace& io) { io.read(0x379); },
       {"Reading the status register of /dev/parport0 failed"}},
      {"address beyond the port",
       [](PpdevTest&) {},
       [](PpdevIoSpace& io) { io.write(0x037B, 0); },
       {"I/O address 0x037B is not a register of the parallel port at 0x0378"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PpdevTest& t = *this;
    t.sys = test::FakePpdevSystem{};
    t.portBase = 0x0378;
    t.root = t.tree.root();
    t.io_.reset();
    c.setUp(t);
    try {
      c.access(io());
      ADD_FAILURE() << "no error";
    } catch (const PpdevError& e) {
      for (const std::string& part : c.message) EXPECT_THAT(e.what(), HasSubstr(part));
    }
  }
}

TEST_F(PpdevTest, RefusedClaimClosesTheDeviceAndTheNextAccessTriesAgain) {
  sys.fails["PPCLAIM"] = EINTR;
  EXPECT_THROW(io().write(0x0378, 0), PpdevError);
  EXPECT_EQ(sys.log, (Log{"open /dev/parport0", "PPCLAIM 3", "close 3"}));

  sys.fails.clear();
  sys.log.clear();
  io().write(0x0378, 0x04);
  EXPECT_EQ(sys.log, (Log{"open /dev/parport0", "PPCLAIM 4", "PPWDATA 4 04"}));
}

TEST_F(PpdevTest, ReleasesAndClosesEveryPortAtTheEnd) {
  io().write(0x0378, 0x04);
  io().selectLpt(0x0278);  // the port menu moves to LPT2 between two operations
  io().write(0x27A, 0x07);
  sys.log.clear();
  io_.reset();
  EXPECT_EQ(sys.log, (Log{"PPRELEASE 4", "close 4", "PPRELEASE 3", "close 3"}));
}

TEST_F(PpdevTest, FailedReleaseIsReportedAndTheDeviceStillClosed) {
  io().write(0x0378, 0x04);
  sys.fails["PPRELEASE"] = EINVAL;
  sys.log.clear();
  try {
    io().close();
    ADD_FAILURE() << "no error";
  } catch (const PpdevError& e) {
    EXPECT_STREQ(e.what(), "Releasing /dev/parport0 failed: Invalid argument");
  }
  EXPECT_EQ(sys.log, (Log{"PPRELEASE 3", "close 3"}));
  sys.log.clear();
  io_.reset();  // nothing left to release
  EXPECT_TRUE(sys.log.empty());
}

TEST_F(PpdevTest, ListsOnlyNumberedPortsWithAReadableBase) {
  tree.add("parport7", "junk\n");
  tree.add("parportx", "888\t0\n");
  const std::vector<KernelPort> ports = ListParports(HostSystem(tree.root()));
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_EQ(ports[0].number, 0);
  EXPECT_EQ(ports[0].base, 0x0378u);
  EXPECT_EQ(ports[2].number, 2);
  EXPECT_EQ(ports[2].base, 0xD010u);
}

}  // namespace
}  // namespace kaldo
