// The programmer for one run of a front end: it owns the I/O space the front end hands in, the port
// with its delay timer, the board and the device operations, and runs one device command at a
// time on them.
//
//   Programmer programmer(std::make_unique<HardwareIoSpace>(base));
//   programmer.SetPort(base);
//   programmer.Open();                                   // timer saved, board reset
//   CommandOutcome o = programmer.Run(DeviceCommand::Write, job, &display);
//   programmer.Close();                                  // timer and port 0x61 put back
//
// The board is idle between commands: a routine ends with ResetBoard, and one that raises an
// error is followed by a ResetBoard before the error goes on (should that reset raise too, the
// routine's error is the one that goes on). Close resets the board only when it cannot be known
// idle (after such a failed reset, or when the start-up reset failed).
//
// A stop asked for on the stop flag (a signal, or another thread) ends the command that runs at
// its next byte or wait with StoppedError, after the reset. The resets themselves run to their
// end whatever is asked meanwhile.
//
// Nothing here belongs to a thread: a command may run on any one thread at a time.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/system/StopFlag.h"
#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/Identification.h"
#include "device/IspOperations.h"
#include "device/ProgressDisplay.h"
#include "device/SignatureCheck.h"
#include "link/IoSpace.h"

namespace kaldo {

class Board;
class DeviceOperations;
class IspOperations;
class Port;

class Programmer {
 public:
  // Called with the error of a start-up or close step; the next step still runs.
  using StepFailed = std::function<void(std::exception_ptr)>;

  explicit Programmer(std::unique_ptr<IoSpace> io);
  // io is not owned and outlives the programmer.
  explicit Programmer(IoSpace& io);
  // Closes, quietly, if the front end did not.
  ~Programmer();
  Programmer(const Programmer&) = delete;
  Programmer& operator=(const Programmer&) = delete;

  // Saves the timer state (InitDelayTimer), then resets the board on the port of SetPort (LPT1
  // unless set). Without stepFailed the first error is raised at once.
  void Open(const StepFailed& stepFailed = {});
  // Once, however often it is called, and only after Open: resets the board if it may not be
  // idle, then puts back the timer and port 0x61 (RestoreDelayTimer). Errors as for Open.
  void Close(const StepFailed& stepFailed = {});
  // Puts back the timer and port 0x61 as Open found them, without closing: the window's Exit does
  // so before its close handler closes the session, which writes the same values once more.
  void RestoreDelayTimer(const StepFailed& stepFailed = {});
  bool Closed() const { return closed_; }

  // The LPT port the next command uses; the board is not reset.
  void SetPort(std::uint16_t base);
  // The commands go through this in-system programming cable from now on (none: the programmer
  // board); an open session makes the cable idle at once. Identify and LookIntoSocket then see
  // only the AT89S51 and S52, the signature check passes the AT89S53 and S8252 unchecked
  // (NotReadable), and whatever ends a command leaves the cable idle as it leaves the board.
  void UseCable(const std::optional<CableUse>& cable);
  // Null while the board is in use.
  const CableUse* CableInUse() const;
  // What the routines show while they run, for every command that names none (null: nothing).
  void SetProgressDisplay(ProgressDisplay* display);
  // The flag that stops a command; the programmer has one of its own until it is handed another
  // (the one the front end's signal handlers set), which must outlive it.
  void UseStopFlag(StopFlag& flag);
  StopFlag& StopFlagInUse() { return *stop_; }

  // Runs one device command on the job to its end on the board and returns its outcome; the
  // display shows the command's busy text first. A write erases, programs and verifies, then
  // programs the job's lock bits. progress, when given, replaces the session's display for this
  // command. A command asked to start while a stop stands raises StoppedError without touching
  // the board.
  CommandOutcome Run(DeviceCommand command, const DeviceJob& job,
                     ProgressDisplay* progress = nullptr);
  // Reads the chip's signature as the Signature command does for deviceType and judges it
  // against the device table. Adds the signature read's waits: about 0.72 s, 1.44 s on the
  // AT89S53 and S8252.
  SignatureVerdict CheckSignature(int deviceType, ProgressDisplay* progress = nullptr);
  // Reads the chip with each signature procedure in the order of SignatureProcedures until one
  // reads the signature of a device it serves (reads only; the board is idle after each). Up to
  // about 4.3 s when nothing answers: 0.72 s a procedure, 1.44 s for the AT89S53 group's.
  ChipIdentity Identify(ProgressDisplay* progress = nullptr);
  // CheckSignature; when the chip does not give the device's signature, Identify too. The port
  // sees the same as for CheckSignature when the chip is the right one.
  SocketCheck CheckSocket(int deviceType, ProgressDisplay* progress = nullptr);
  // What the last CheckSocket found; NoDeviceSelected before the first.
  const SocketCheck& LastSocketCheck() const { return lastSocketCheck_; }
  // Which chip the socket holds, read as gently as the device allows: the procedures that keep
  // the programming voltage off, the device's own first, until one reads a signature of its
  // group or any answer at all. The device's own procedure, when it raises the voltage, runs only
  // when none of them got an answer (the socket looks empty to them), so that the voltage never
  // reaches a chip known to be another device's. NoAnswer: the socket is empty.
  ChipIdentity LookIntoSocket(int deviceType);
  // Waits on the board's delay timer, in steps of 10 ms (rounded up); a stop ends it at its next
  // poll of the timer with StoppedError. The board is not touched.
  void Pause(int milliseconds);

  // For tests and benchmarks.
  Port& PortAccess() { return *port_; }
  Board& BoardLink() { return *board_; }
  DeviceOperations& Operations() { return *operations_; }

 private:
  // Passes the routines' progress on to the display of the command that runs.
  class ProgressRelay : public ProgressDisplay {
   public:
    void ShowAddress(int address) override;
    void ShowCommand(const std::string& text) override;
    ProgressDisplay* Target = nullptr;
  };

  // Runs a step; its error goes to stepFailed, or is raised when there is none.
  static void Step(const StepFailed& stepFailed, const std::function<void()>& step);
  // The board reset, or the cable's idle.
  void ResetBoard();
  ChipIdentity IdentifyThroughCable(ProgressDisplay* progress);

  std::unique_ptr<IoSpace> ownedIo_;
  IoSpace& io_;
  std::unique_ptr<Port> port_;
  std::unique_ptr<Board> board_;
  ProgressRelay relay_;
  ProgressDisplay* display_ = nullptr;
  StopFlag ownStop_;
  StopFlag* stop_ = &ownStop_;
  std::unique_ptr<DeviceOperations> operations_;
  std::unique_ptr<IspOperations> cable_;
  bool opened_ = false;
  bool closed_ = false;
  bool boardIdle_ = false;  // the last thing done on the board was a reset that completed
  SocketCheck lastSocketCheck_;
  std::string lastNote_;  // the last signature read's note of a cable that got no answer
};

}  // namespace kaldo
