// What the program reads of the running system about its parallel ports: the kernel's port list
// (/proc/sys/dev/parport), the ppdev and USB printer nodes (/dev/parport*, /dev/usb/lp*), the
// loaded modules (/proc/modules), the lockdown mode (/sys/kernel/security/lockdown), and whether
// this user may open a node (its mode; the user's ids from /proc/self/status, names from
// /etc/passwd and /etc/group). Every path is read below one root folder: "" for the real system,
// a fake tree in the tests.
//
// The kernel lists each port as /proc/sys/dev/parport/parportN: base-addr holds the I/O base and
// the ECP upper base in decimal ("888\t1912"), modes the modes it can run ("PCSPP,TRISTATE,EPP"),
// devices/ one folder for each driver registered on the port (lp, ppdev0) and devices/active the
// name of the one that holds the port now, or "none".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kaldo {

struct KernelPort {
  int number;                        // N of parportN
  unsigned long base;                // I/O base address
  std::string modes;                 // as the kernel lists them, "" when unknown
  std::string holder;                // the driver that holds the port now; "" when none does
  std::vector<std::string> drivers;  // the drivers registered on the port

  std::string Node() const { return "/dev/parport" + std::to_string(number); }
};

// Who asks: the effective user id and every group id of this process (the login's groups). An id
// the system does not tell is taken for an ordinary user's, never for root's.
struct UserIdentity {
  unsigned uid = ~0u;
  std::vector<unsigned> groups;
};

enum class NodeAccess { Allowed, Missing, Denied };

class HostSystem {
 public:
  // The system below root ("" is the real one), as this process's user sees it.
  explicit HostSystem(std::string root = {});

  const std::string& Root() const { return root_; }
  const UserIdentity& User() const { return user_; }

  // /proc/sys/dev/parport exists: a parallel-port driver is loaded.
  bool HasParportDriver() const;
  // The ports the kernel lists, by number; entries without a readable base are left out.
  std::vector<KernelPort> Parports() const;
  // The driver that holds parportN now, "" when none does (or the kernel does not say).
  std::string Holder(int number) const;
  // Whether this user may open the node for reading and writing.
  NodeAccess Access(const std::string& node) const;
  // /dev/usb/lp0 ...: printer-class USB adapters, by name.
  std::vector<std::string> UsbPrinters() const;
  bool ModuleLoaded(const std::string& name) const;
  // The active lockdown mode ("none", "integrity", "confidentiality"); "" when the kernel has none.
  std::string Lockdown() const;
  bool IsRoot() const { return user_.uid == 0; }
  // /etc/group names this user as a member of the group (or it is the user's own group).
  bool ListedInGroup(const std::string& group) const;
  // This process has the group among its groups now.
  bool HasGroup(const std::string& group) const;

 private:
  std::string Path(const std::string& absolute) const { return root_ + absolute; }
  std::string UserName() const;
  bool GroupId(const std::string& group, unsigned& gid) const;

  std::string root_;
  UserIdentity user_;
};

// The port the kernel lists at base, or null.
const KernelPort* FindPortAt(const std::vector<KernelPort>& ports, unsigned long base);

}  // namespace kaldo
