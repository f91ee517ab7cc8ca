#include "link/PortCheck.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "link/Backend.h"
#include "link/Ppdev.h"
#include "tests/link/PpdevFakes.h"

namespace kaldo {
namespace {

using ::testing::HasSubstr;

// A machine as the port doctor sees it: the kernel's ports, the nodes and their modes, the user.
struct Machine {
  Machine() {
    tree.file("/etc/passwd", "root:x:0:0::/root:/bin/sh\nann:x:1000:1000::/home/ann:/bin/sh\n");
    tree.file("/etc/group", "root:x:0:\nlp:x:" + std::to_string(getegid()) + ":\nann:x:1000:\n");
    User(1000, {1000});
    Port(0, "888\t1912", "PCSPP,TRISTATE,EPP", "none", {});
    Port(1, "53264\t53256", "PCSPP,TRISTATE", "none", {});
    tree.file("/sys/kernel/security/lockdown", "[none] integrity confidentiality\n");
  }
  void User(unsigned uid, std::vector<unsigned> groups) {
    std::string ids;
    for (unsigned g : groups) ids += std::to_string(g) + " ";
    const std::string u = std::to_string(uid);
    tree.file("/proc/self/status", "Name:\tkaldo-cli\nUid:\t" + u + "\t" + u + "\t" + u + "\t" + u +
                                       "\nGid:\t" + std::to_string(groups[0]) + "\t" +
                                       std::to_string(groups[0]) + "\t0\t0\nGroups:\t" + ids +
                                       "\n");
  }
  // parportN with its node: owned by this test's user and group (group lp above), mode 0660.
  void Port(int n, const std::string& base, const std::string& modes, const std::string& active,
            std::vector<std::string> drivers) {
    const std::string dir = "/proc/sys/dev/parport/parport" + std::to_string(n);
    tree.file(dir + "/base-addr", base);
    tree.file(dir + "/modes", modes + "\n");
    tree.file(dir + "/devices/active", active + "\n");
    for (const std::string& d : drivers) tree.file(dir + "/devices/" + d + "/timeslice", "200");
    const std::string node = "/dev/parport" + std::to_string(n);
    tree.file(node, "");
    chmod((tree.root() + node).c_str(), 0660);
  }
  HostSystem Host() const { return HostSystem(tree.root()); }

  test::FakeProcTree tree;
};

TEST(HostSystem, ReadsThePortsTheirHoldersAndTheUser) {
  Machine m;
  m.Port(2, "956\t0", "PCSPP", "lp0", {"lp"});
  m.tree.file("/proc/sys/dev/parport/parport3/base-addr", "junk");
  m.tree.file("/dev/usb/lp0", "");
  m.tree.file("/dev/usb/hiddev0", "");
  m.tree.file("/proc/modules", "ppdev 24576 0 - Live 0x0\nparport_pc 40960 0 - Live 0x0\n");
  const HostSystem host = m.Host();
  const std::vector<KernelPort> ports = host.Parports();
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[1].base, 0xD010u);
  EXPECT_EQ(ports[1].modes, "PCSPP,TRISTATE");
  EXPECT_EQ(ports[1].Node(), "/dev/parport1");
  EXPECT_EQ(ports[0].holder, "");
  EXPECT_EQ(ports[2].holder, "lp0");
  EXPECT_EQ(ports[2].drivers, std::vector<std::string>{"lp"});
  EXPECT_EQ(host.UsbPrinters(), std::vector<std::string>{"/dev/usb/lp0"});
  EXPECT_TRUE(host.ModuleLoaded("parport_pc"));
  EXPECT_FALSE(host.ModuleLoaded("parport"));
  EXPECT_EQ(host.Lockdown(), "none");
  EXPECT_EQ(host.User().uid, 1000u);
  EXPECT_EQ(host.Access("/dev/parport9"), NodeAccess::Missing);
}

TEST(HostSystem, FilesWithoutEndAreReadOnlyInPart) {
  Machine m;
  m.User(1000, {1000, static_cast<unsigned>(getegid())});
  m.tree.file("/proc/modules", "");
  m.tree.file("/etc/group", "");
  const std::string port0 = m.tree.root() + "/proc/sys/dev/parport/parport0";
  // Sparse files of 1 GiB of zero bytes and no line end; a pipe that nobody writes.
  for (const std::string& name : {port0 + "/modes", port0 + "/devices/active",
                                  m.tree.root() + "/sys/kernel/security/lockdown",
                                  m.tree.root() + "/proc/modules", m.tree.root() + "/etc/group"}) {
    std::filesystem::resize_file(name, 0);
    std::filesystem::resize_file(name, std::uintmax_t{1} << 30);
  }
  const std::string fifo = m.tree.root() + "/proc/sys/dev/parport/parport1/modes";
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const HostSystem host = m.Host();
  const std::vector<KernelPort> ports = host.Parports();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].modes, "");
  EXPECT_EQ(ports[0].holder, "");
  EXPECT_EQ(ports[1].modes, "");
  EXPECT_EQ(host.Lockdown(), "");
  EXPECT_FALSE(host.ModuleLoaded("ppdev"));
  EXPECT_FALSE(host.HasGroup("lp"));
  EXPECT_EQ(host.User().uid, 1000u);
}

TEST(HostSystem, NodeAccessFollowsTheModeAndTheGroups) {
  struct Case {
    const char* name;
    unsigned uid;
    bool inGroup;
    mode_t mode;
    NodeAccess expected;
  };
  const unsigned owner = geteuid(), group = getegid();
  const Case cases[] = {
      {"group member", owner + 1, true, 0660, NodeAccess::Allowed},
      {"outsider", owner + 1, false, 0660, NodeAccess::Denied},
      {"outsider, world-writable", owner + 1, false, 0666, NodeAccess::Allowed},
      {"owner", owner, false, 0600, NodeAccess::Allowed},
      {"group read-only", owner + 1, true, 0640, NodeAccess::Denied},
      {"root", 0, false, 0000, NodeAccess::Allowed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.User(c.uid, {c.inGroup ? group : group + 1});
    chmod((m.tree.root() + "/dev/parport0").c_str(), c.mode);
    if (c.uid == owner && owner == 0) continue;  // as root, owner and root are the same case
    EXPECT_EQ(m.Host().Access("/dev/parport0"), c.expected);
  }
}

TEST(ResolvePort, EveryFormMapsThroughTheList) {
  Machine m;
  const std::vector<KernelPort> ports = m.Host().Parports();
  struct Case {
    const char* text;
    std::uint16_t base;
  };
  for (Case c : {Case{"lpt1", 0x378}, Case{"LPT2", 0x278}, Case{"lpt3", 0x3BC},
                 Case{"0xd010", 0xD010}, Case{"0X100", 0x100}, Case{"0xfffd", 0xFFFD},
                 Case{"/dev/parport1", 0xD010}, Case{"1", 0xD010}, Case{"0", 0x378}}) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ResolvePort(c.text, ports), c.base);
  }
  struct Refusal {
    const char* text;
    const char* message;
  };
  for (Refusal r :
       {Refusal{"lpt4", "unknown port 'lpt4' (lpt1, lpt2, lpt3, 0xBASE, /dev/parportN or N)"},
        Refusal{"/dev/lp0", "unknown port '/dev/lp0'"}, Refusal{"0x12345", "unknown port"},
        Refusal{"0xFFFF",
                "port 0xFFFF is refused: its registers (base to base + 2) must lie below "
                "0x10000, so the highest base is 0xFFFD"},
        Refusal{"0xfffe", "port 0xFFFE is refused"},
        Refusal{"0x80", "port 0x0080 is refused: addresses below 0x0100"},
        Refusal{"/dev/parport5",
                "there is no port /dev/parport5: the ports listed are "
                "/dev/parport0 (0x0378), /dev/parport1 (0xD010)"},
        Refusal{"7", "there is no port /dev/parport7"}}) {
    SCOPED_TRACE(r.text);
    try {
      ResolvePort(r.text, ports);
      ADD_FAILURE() << "taken";
    } catch (const PortNameError& e) {
      EXPECT_THAT(e.what(), HasSubstr(r.message));
    }
  }
}

TEST(PortCheck, EachCauseIsNamedWithItsRemedy) {
  struct Case {
    const char* name;
    std::function<void(Machine&)> setUp;
    bool usable;
    std::vector<std::string> said;
  };
  const unsigned lp = getegid();
  const std::vector<Case> cases = {
      {"user in group lp",
       [lp](Machine& m) {
         m.User(1000, {1000, lp});
       },
       true,
       {"/dev/parport0  0x0378  modes PCSPP,TRISTATE,EPP",
        "/dev/parport1  0xD010  modes "
        "PCSPP,TRISTATE",
        "    open: yes", "    held: no", "    direct port access: no, it needs root",
        "    usable: yes, through ppdev"}},
      {"user outside group lp",
       [](Machine&) {},
       false,
       {"open: no permission: add your user to the group lp (\"sudo usermod -aG lp $USER\") and "
        "log in again",
        "    usable: no"}},
      {"added to lp, old login",
       [](Machine& m) {
         m.tree.file("/etc/group", "lp:x:" + std::to_string(getegid()) + ":ann\nann:x:1000:\n");
       },
       false,
       {"you are in the group lp but this login began before you were added: log out and in "
        "again"}},
      {"root",
       [](Machine& m) { m.User(0, {0}); },
       true,
       {"direct port access: yes (root)", "usable: yes, through ppdev"}},
      {"root under lockdown, no ppdev nodes",
       [](Machine& m) {
         m.User(0, {0});
         m.tree.file("/sys/kernel/security/lockdown", "none [integrity] confidentiality\n");
         std::filesystem::remove(m.tree.root() + "/dev/parport0");
         std::filesystem::remove(m.tree.root() + "/dev/parport1");
       },
       false,
       {"open: no, /dev/parport0 is missing: the module ppdev is not loaded (\"sudo modprobe "
        "ppdev\")",
        "direct port access: no, the kernel is locked down (integrity"}},
      {"ppdev loaded, the node missing",
       [](Machine& m) {
         m.tree.file("/proc/modules", "parport_pc 40960 0 - Live 0x0\nppdev 24576 0 - Live 0x0\n");
         std::filesystem::remove(m.tree.root() + "/dev/parport0");
       },
       false,
       {"open: no, /dev/parport0 is missing: the module ppdev is loaded, but nothing made the "
        "node: "
        "\"sudo udevadm trigger\" makes it, or \"sudo mknod -m 0660 /dev/parport0 c 99 0 && sudo "
        "chgrp lp /dev/parport0\""}},
      {"control characters in the kernel's files",
       [](Machine& m) {
         m.Port(0, "888", "PCSPP\x1B[2J", "\x1B]0;owned\x07", {});
         m.Port(1, "53264", "PCSPP", "none", {"lp\x1B[31m"});
         m.tree.file("/sys/kernel/security/lockdown", "none [\x1B[5m] x\n");
       },
       false,
       {"modes PCSPP\\x1B[2J", "held: yes, is held by \\x1B]0;owned\\x07: another program",
        "held: no (lp\\x1B[31m registered", "locked down (\\x1B[5m,"}},
      {"lp holds the port",
       [](Machine& m) {
         m.User(0, {0});
         m.Port(0, "888\t1912", "PCSPP", "lp0", {"lp"});
         m.Port(1, "53264\t0", "PCSPP", "ppdev1", {"ppdev1"});
       },
       false,
       {"held: yes, is held by the printer driver lp (lp0)", "sudo rmmod lp",
        "/etc/modprobe.d/no-lp.conf", "held: yes, is held by ppdev1: another program has claimed"}},
      {"lp registered, idle",
       [lp](Machine& m) {
         m.User(1000, {1000, lp});
         m.Port(0, "888\t1912", "PCSPP", "none", {"lp"});
       },
       true,
       {"held: no (lp registered, idle: it takes the port only while it prints"}},
      {"no driver, only USB adapters",
       [](Machine& m) {
         std::filesystem::remove_all(m.tree.root() + "/proc/sys/dev/parport");
         m.tree.file("/dev/usb/lp0", "");
       },
       false,
       {"No parallel port is known to the kernel: /proc/sys/dev/parport is missing. Load the "
        "drivers with \"sudo modprobe parport_pc ppdev\"",
        "/dev/usb/lp0 is a USB printer adapter, which cannot drive a programmer board",
        "This machine has only USB printer adapters"}},
      {"driver without ports",
       [](Machine& m) {
         std::filesystem::remove_all(m.tree.root() + "/proc/sys/dev/parport");
         m.tree.file("/proc/sys/dev/parport/default/spintime", "500");
       },
       false,
       {"parport_pc io=0xBASE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    c.setUp(m);
    const PortCheckReport report = CheckPorts(m.Host());
    std::string text;
    for (const std::string& line : report.Lines) text += line + "\n";
    EXPECT_EQ(report.Usable, c.usable) << text;
    for (const std::string& part : c.said) EXPECT_THAT(text, HasSubstr(part));
    EXPECT_EQ(text.find('\x1B'), std::string::npos);
  }
}

TEST(PortCheck, TheProbeReadsOnlyUsablePorts) {
  Machine m;
  m.User(0, {0});
  m.Port(1, "53264\t0", "PCSPP", "lp0", {"lp"});
  std::vector<int> probed;
  const PortCheckReport report = CheckPorts(m.Host(), [&probed](const KernelPort& p) {
    probed.push_back(p.number);
    return StatusVerdict(0x7F);
  });
  EXPECT_EQ(probed, std::vector<int>{0});
  EXPECT_THAT(report.Lines,
              ::testing::Contains("    board: status 0x7F: nothing drives Busy, no board seems to "
                                  "answer (or it has no power)"));
  EXPECT_THAT(StatusVerdict(0xFF), HasSubstr("a board (or another device) seems to answer"));
}

TEST(PortCheck, OtherPortsLeaveOutTheThreeStandardBases) {
  Machine m;
  m.Port(2, "632", "PCSPP", "none", {});
  const std::vector<KernelPort> others = OtherPorts(m.Host().Parports());
  ASSERT_EQ(others.size(), 1u);
  EXPECT_EQ(others[0].number, 1);
  EXPECT_EQ(PortLabel(0xD010, m.Host().Parports()), "/dev/parport1 (0xD010)");
  EXPECT_EQ(PortLabel(0xE800, m.Host().Parports()), "0xE800");
}

// A simulated PC's ports read as a kernel's list of the same ports does.
TEST(KernelPortsAt, ListLikeTheKernelsListOfThoseBases) {
  Machine m;
  m.Port(0, "888", "PCSPP", "none", {});
  m.Port(1, "53264", "PCSPP", "none", {});
  const std::uint16_t bases[] = {0x378, 0xD010};
  const std::vector<KernelPort> listed = m.Host().Parports();
  const std::vector<KernelPort> described = KernelPortsAt(bases);
  ASSERT_EQ(described.size(), listed.size());
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_EQ(described[i].Node(), listed[i].Node());
    EXPECT_EQ(described[i].base, listed[i].base);
    EXPECT_EQ(described[i].modes, listed[i].modes);
    EXPECT_EQ(described[i].holder, listed[i].holder);
    EXPECT_EQ(described[i].drivers, listed[i].drivers);
  }
  EXPECT_EQ(ResolvePort("/dev/parport1", described), 0xD010);
}

// A port another driver holds is refused before the claim, which would wait for as long as the
// holder keeps it, and direct access does not take it behind the holder's back.
TEST(PpdevHeldPort, IsRefusedWithoutOpeningAndWithoutDirectAccess) {
  Machine m;
  m.Port(0, "888\t1912", "PCSPP", "lp0", {"lp"});
  test::FakePpdevSystem sys;
  test::FakeClock clock;
  PpdevIoSpace io(sys, 0x378, clock, m.Host());
  try {
    io.write(0x378, 0);
    ADD_FAILURE() << "no error";
  } catch (const PortBusyError& e) {
    EXPECT_THAT(e.what(), HasSubstr("/dev/parport0 (the port at 0x0378) is held by the printer "
                                    "driver lp (lp0)"));
  }
  EXPECT_TRUE(sys.log.empty());

  bool directTried = false;
  HardwareIoSpace hardware(
      0x378,
      [&io](std::uint16_t) -> std::unique_ptr<IoSpace> {
        io.attach(0x378);
        return nullptr;
      },
      [&directTried](std::uint16_t) -> std::unique_ptr<IoSpace> {
        directTried = true;
        return nullptr;
      },
      clock);
  try {
    hardware.write(0x378, 0);
    ADD_FAILURE() << "no error";
  } catch (const BackendError& e) {
    EXPECT_THAT(e.what(), HasSubstr("By direct port access: not tried, since another driver "
                                    "holds the port."));
  }
  EXPECT_FALSE(directTried);
}

TEST(PpdevMessages, NameTheNewLoginAndTheUsbAdapters) {
  Machine m;
  m.tree.file("/etc/group", "lp:x:7:ann\n");
  test::FakePpdevSystem sys;
  sys.fails["open"] = EACCES;
  test::FakeClock clock;
  PpdevIoSpace io(sys, 0x378, clock, m.Host());
  EXPECT_THROW(
      {
        try {
          io.write(0x378, 0);
        } catch (const PpdevError& e) {
          EXPECT_THAT(e.what(), HasSubstr("you are in the group lp, but this login began before"));
          throw;
        }
      },
      PpdevError);

  std::filesystem::remove_all(m.tree.root() + "/proc/sys/dev/parport");
  m.tree.file("/dev/usb/lp1", "");
  try {
    ListParports(m.Host());
    ADD_FAILURE() << "no error";
  } catch (const PpdevError& e) {
    EXPECT_THAT(e.what(), HasSubstr("sudo modprobe parport_pc ppdev\". /dev/usb/lp1 is a USB "
                                    "printer adapter, which cannot drive a programmer board"));
  }
  EXPECT_THAT(UsbPrintersText({"/dev/usb/lp0", "/dev/usb/lp1"}),
              HasSubstr("/dev/usb/lp0, /dev/usb/lp1 are USB printer adapters"));
}

}  // namespace
}  // namespace kaldo
