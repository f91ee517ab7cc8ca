#include "app/SocketMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "core/Convert.h"

namespace kaldo {

namespace {

using Kind = SocketChoice::Kind;

QString ChipName(int type) {
  const DeviceInfo* device = FindDevice(type);
  return device ? QString::fromStdString(FullName(*device)) : QString();
}

QString HexAddress(std::uint16_t address) {
  return QString::fromLatin1(IntToHex(address, 4));
}

class SocketMenu : public QMenu {
 public:
  SocketMenu(TfrmMain& window, SimulatedMachine& machine)
      : QMenu(QStringLiteral("So&cket"), window.mnuMain),
        window_(window),
        machine_(machine),
        marks_(this) {
    Item(this, QStringLiteral("&Chip of the Selected Type"), {Kind::SelectedChip});
    QMenu* others = addMenu(QStringLiteral("&Another Device's Chip"));
    for (int type = 0; type < kDeviceCount; ++type)
      Item(others, ChipName(type), {Kind::OtherChip, type});
    Item(this, QStringLiteral("&Empty Socket"), {Kind::Empty});
    Item(this, QStringLiteral("&No Board"), {Kind::NoBoard});
    addSeparator();
    stuckCell_ = Item(this, QStringLiteral("A Cell That &Will Not Program..."), {Kind::StuckCell});
    Item(this, QStringLiteral("&Locked Chip"), {Kind::LockedChip});
    addSeparator();
    Item(this, QStringLiteral("&Supply..."), {Kind::Supply});
    addSeparator();
    // What is on the port follows the programmer the window uses, and can be changed here.
    portBoard_ = PortItem(QStringLiteral("&Programmer Board on the Port"), false);
    portTarget_ = PortItem(QStringLiteral("ISP Cable and &Target Board on the Port"), true);
    targetFaults_ = addMenu(QStringLiteral("Target &Faults"));
    Item(targetFaults_, QStringLiteral("Wrong &Reset Polarity"), {Kind::ResetInverted});
    Item(targetFaults_, QStringLiteral("No &Crystal"), {Kind::NoCrystal});
    Item(targetFaults_, QStringLiteral("MISO Stuck &Low"), {.What = Kind::MisoStuck, .Level = 0});
    Item(targetFaults_, QStringLiteral("MISO Stuck &High"), {.What = Kind::MisoStuck, .Level = 1});
    Item(targetFaults_, QStringLiteral("Serial Programming &Fuse Off"), {Kind::FuseOff});
    Item(targetFaults_, QStringLiteral("Cable on the &Other Port"), {Kind::OtherPort});
    connect(&window_, &TfrmMain::ProgrammerChanged, this, [this] {
      machine_.PutOnPort(CableUseOf(window_.ChosenProgrammer()));
      ShowChoice();
    });
    machine_.PutOnPort(CableUseOf(window_.ChosenProgrammer()));
    ShowChoice();
  }

 private:
  struct Entry {
    QAction* action;
    SocketChoice choice;
  };

  QAction* Item(QMenu* menu, const QString& caption, const SocketChoice& choice) {
    QAction* action = menu->addAction(caption);
    action->setCheckable(true);
    marks_.addAction(action);
    entries_.push_back({action, choice});
    connect(action, &QAction::triggered, this, [this, choice] {
      window_.Command([&] { Choose(choice); });
      ShowChoice();
    });
    return action;
  }

  QAction* PortItem(const QString& caption, bool target) {
    QAction* action = addAction(caption);
    action->setCheckable(true);
    portMarks_.addAction(action);
    connect(action, &QAction::triggered, this, [this, target] {
      window_.Command([&] { PutOnPort(target); });
      ShowChoice();
    });
    return action;
  }

  // The target board has the cable the Port menu names last, and its crystal.
  void PutOnPort(bool target) {
    ProgrammerChoice cable = window_.ChosenProgrammer();
    cable.UseCable = target;
    machine_.PutOnPort(CableUseOf(cable));
  }

  static bool TargetFault(Kind kind) {
    return kind == Kind::ResetInverted || kind == Kind::NoCrystal || kind == Kind::MisoStuck ||
           kind == Kind::FuseOff || kind == Kind::OtherPort;
  }

  void Choose(SocketChoice choice) {
    if (choice.What == Kind::StuckCell) {
      const std::optional<QString> typed = window_.Messages().Ask(
          &window_, {QStringLiteral("  SOCKET"),
                     QStringLiteral("Address of the cell that will not program (hex):"),
                     HexAddress(lastCell_)});
      if (!typed) return;
      const int address = StrToInt("$" + typed->trimmed().toStdString());
      if (address < 0 || address >= kBufferSize) {
        window_.MessageBox(
            QStringLiteral("The address %1 lies outside the code memory (0000 to 7FFF); the "
                           "socket was left as it was.")
                .arg(typed->trimmed().toUpper()),
            QStringLiteral("  SOCKET"), MsgIcon::Warning);
        return;
      }
      choice.Cell = static_cast<std::uint16_t>(address);
      lastCell_ = choice.Cell;
    }
    if (choice.What == Kind::Supply) {
      const std::optional<QString> typed = window_.Messages().Ask(
          &window_, {QStringLiteral("  SOCKET"),
                     QStringLiteral("Chips to feed the socket with, one after another "
                                    "(good, empty, 89S51, stuck:ADDR, locked, ITEM*N):"),
                     lastSupply_});
      if (!typed) return;
      choice.Supply = typed->trimmed().toStdString();
      try {
        machine_.PutInSocket(choice);
      } catch (const sim::SupplyListError& e) {
        window_.MessageBox(
            QString::fromStdString(e.what()) + QStringLiteral("; the socket was left as it was."),
            QStringLiteral("  SOCKET"), MsgIcon::Warning);
        return;
      }
      lastSupply_ = typed->trimmed();
      return;
    }
    machine_.PutInSocket(choice);
  }

  // The mark and the title follow what the socket holds, also after a cancelled question.
  void ShowChoice() {
    // The board on the port: a fault of the target goes with the target.
    if (!machine_.OnPort() && TargetFault(machine_.InSocket().What)) machine_.PutInSocket({});
    const SocketChoice& held = machine_.InSocket();
    for (const Entry& e : entries_) {
      const bool same = e.choice.What == held.What &&
                        (held.What != Kind::OtherChip || e.choice.ChipType == held.ChipType) &&
                        (held.What != Kind::MisoStuck || e.choice.Level == held.Level);
      if (same) e.action->setChecked(true);
    }
    (machine_.OnPort() ? portTarget_ : portBoard_)->setChecked(true);
    targetFaults_->setEnabled(machine_.OnPort().has_value());
    stuckCell_->setText(
        held.What == Kind::StuckCell
            ? QStringLiteral("A Cell That &Will Not Program (%1)...").arg(HexAddress(held.Cell))
            : QStringLiteral("A Cell That &Will Not Program..."));
    QString condition = SocketCondition(held);
    if (machine_.OnPort().has_value() != window_.ChosenProgrammer().UseCable) {
      const QString port = machine_.OnPort() ? QStringLiteral("Port: ISP cable's target board")
                                             : QStringLiteral("Port: programmer board");
      condition = condition.isEmpty() ? port : port + QStringLiteral(", ") + condition;
    }
    window_.ShowMachineCondition(condition);
  }

  TfrmMain& window_;
  SimulatedMachine& machine_;
  QActionGroup marks_;
  QActionGroup portMarks_{this};
  QAction* portBoard_ = nullptr;
  QAction* portTarget_ = nullptr;
  QMenu* targetFaults_ = nullptr;
  std::vector<Entry> entries_;
  QAction* stuckCell_ = nullptr;
  std::uint16_t lastCell_ = 0;
  QString lastSupply_ = QStringLiteral("good*9,stuck:0100,89S51,empty,good*9");
};

}  // namespace

QString SocketCondition(const SocketChoice& choice) {
  switch (choice.What) {
    case Kind::SelectedChip:
      return {};
    case Kind::OtherChip:
      return QStringLiteral("Socket: ") + ChipName(choice.ChipType);
    case Kind::Empty:
      return QStringLiteral("Socket: empty");
    case Kind::NoBoard:
      return QStringLiteral("No board");
    case Kind::StuckCell:
      return QStringLiteral("Socket: cell %1 will not program").arg(HexAddress(choice.Cell));
    case Kind::LockedChip:
      return QStringLiteral("Socket: locked chip");
    case Kind::Supply:
      return QStringLiteral("Socket: supply ") + QString::fromStdString(choice.Supply);
    case Kind::ResetInverted:
      return QStringLiteral("Target: wrong reset polarity");
    case Kind::NoCrystal:
      return QStringLiteral("Target: no crystal");
    case Kind::MisoStuck:
      return QStringLiteral("Target: MISO stuck %1").arg(choice.Level ? "high" : "low");
    case Kind::FuseOff:
      return QStringLiteral("Target: serial programming fuse off");
    case Kind::OtherPort:
      return QStringLiteral("Target: cable on the other port");
  }
  return {};
}

void AddSocketMenu(TfrmMain& window, SimulatedMachine& machine) {
  window.AddMachineMenu(new SocketMenu(window, machine));
}

}  // namespace kaldo
