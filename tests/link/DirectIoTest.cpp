#include "link/DirectIo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <thread>

#include "link/LinkErrors.h"

namespace kaldo {
namespace {

struct Grant {
  unsigned long from, count;
  bool on;
  bool operator==(const Grant&) const = default;
};

// Stands in for ioperm/inb/outb: port instructions are allowed only on granted ports of the
// granting thread, as the kernel would.
class FakeSyscalls : public PortSyscalls {
 public:
  int Ioperm(unsigned long from, unsigned long count, bool on) override {
    grants.push_back({from, count, on});
    if (refuse != 0) return refuse;
    for (unsigned long p = from; p < from + count; ++p) {
      if (on) {
        allowed[p] = std::this_thread::get_id();
      } else {
        allowed.erase(p);
      }
    }
    return 0;
  }
  bool IsRoot() override { return root; }
  void Out(std::uint16_t port, std::uint8_t value) override {
    Check(port);
    outs.push_back({port, value});
  }
  std::uint8_t In(std::uint16_t port) override {
    Check(port);
    return 0x5A;
  }
  void Check(std::uint16_t port) {
    const auto it = allowed.find(port);
    if (it == allowed.end() || it->second != std::this_thread::get_id()) ++crashes;
  }

  int refuse = 0;
  bool root = false;
  int crashes = 0;  // instructions a real process would have died on
  std::vector<Grant> grants;
  std::map<unsigned long, std::thread::id> allowed;
  std::vector<std::pair<std::uint16_t, std::uint8_t>> outs;
};

TEST(DirectIo, AsksForExactlyTheProgramsPorts) {
  FakeSyscalls sys;
  DirectIo io(0x378, sys);
  io.Open();
  EXPECT_EQ(sys.grants, (std::vector<Grant>{{0x378, 3, true}, {0x42, 2, true}, {0x61, 1, true}}));
  io.write(0x378, 0x04);
  io.write(0x43, 0xB0);
  EXPECT_EQ(io.read(0x379), 0x5A);
  EXPECT_EQ(io.read(0x61), 0x5A);
  EXPECT_EQ(sys.grants.size(), 3u);
  EXPECT_EQ(sys.crashes, 0);
}

TEST(DirectIo, GrantsANewPortBaseAtItsFirstUse) {
  FakeSyscalls sys;
  DirectIo io(0x378, sys);
  io.write(0x37A, 0x07);
  io.selectLpt(0x278);
  io.write(0x27A, 0x07);
  EXPECT_EQ(sys.grants,
            (std::vector<Grant>{{0x378, 3, true}, {0x378, 3, false}, {0x278, 3, true}}));
  EXPECT_EQ(sys.crashes, 0);
}

TEST(DirectIo, AsksAgainOnAnotherThread) {
  FakeSyscalls sys;
  DirectIo io(0x3BC, sys);
  io.write(0x3BC, 0x00);
  std::thread([&] {
    io.write(0x3BC, 0x01);
    io.read(0x61);
  }).join();
  EXPECT_EQ(sys.crashes, 0);
  EXPECT_EQ(sys.grants.size(), 4u);
}

TEST(DirectIo, RefusesPortBasesAmongTheSystemDevices) {
  for (const std::uint16_t low : {0x0000, 0x0020, 0x0040, 0x00FE}) {
    FakeSyscalls sys;
    DirectIo io(low, sys);
    try {
      io.write(low, 0x04);
      FAIL() << low;
    } catch (const PortAccessError& e) {
      EXPECT_NE(std::string(e.what()).find("below 0x100"), std::string::npos);
    }
    EXPECT_TRUE(sys.grants.empty());
    EXPECT_TRUE(sys.outs.empty());
    EXPECT_THROW(io.Open(), PortAccessError);
  }
}

TEST(DirectIo, NeverTouchesAPortItDoesNotUse) {
  FakeSyscalls sys;
  DirectIo io(0x378, sys);
  for (const std::uint16_t port : {0x20, 0x60, 0x377, 0x37B, 0x3F8}) {
    EXPECT_THROW(io.write(port, 0), PortAccessError) << port;
    EXPECT_THROW(io.read(port), PortAccessError) << port;
  }
  EXPECT_TRUE(sys.grants.empty());
  EXPECT_EQ(sys.crashes, 0);
}

TEST(DirectIo, ARefusalIsAClearErrorNotACrash) {
  struct Case {
    int err;
    bool root;
    const char* says;
  };
  for (const Case c :
       {Case{EPERM, false, "run kaldo as root"}, Case{EPERM, true, "locked down (Secure Boot"},
        Case{EINVAL, true, "cannot be used"}}) {
    FakeSyscalls sys;
    sys.refuse = c.err;
    sys.root = c.root;
    DirectIo io(0x378, sys);
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        io.write(0x378, 0x04);
        FAIL() << c.says;
      } catch (const PortAccessError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_NE(text.find("0x0378-0x037A, 0x42-0x43 and 0x61"), std::string::npos) << text;
      }
    }
    EXPECT_TRUE(sys.outs.empty());
    EXPECT_EQ(sys.crashes, 0);
  }
}

}  // namespace
}  // namespace kaldo
