// The main window's Port menu: the three LPT bases, the machine's other ports, a base typed in
// Other Address..., the programmer on the port (the board or an ISP cable) with the target's
// crystal, and the port check of the Help menu.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QListView>
#include <QStandardItemModel>
#include <algorithm>
#include <optional>

#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/model/LptPorts.h"
#include "device/IspSession.h"
#include "link/PortCheck.h"

namespace kaldo {

// --- Port commands -----------------------------------------------------------------------------

namespace {

// "D010", "0xd010" or "$D010": the base the text names when it is one a card's port can have,
// else nothing.
std::optional<std::uint16_t> CardBase(const QString& typed) {
  QString digits = typed.trimmed();
  if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
    digits = digits.mid(2);
  else if (digits.startsWith(QLatin1Char('$')))
    digits = digits.mid(1);
  bool ok = false;
  const uint value = digits.toUInt(&ok, 16);
  if (!ok || digits.size() > 4 || !PortBaseProblem(value).empty()) return {};
  return static_cast<std::uint16_t>(value);
}

}  // namespace

void TfrmMain::ChoosePort(QAction* chosen, std::uint16_t base) {
  if (chosen->isChecked()) return;
  state_.PortBase = base;
  programmer_.SetPort(base);
  UpdatePort();
}

void TfrmMain::mnuPortLPT1Click(QObject*) {
  ChoosePort(mnuPortLPT1, kLpt1Base);
}

void TfrmMain::mnuPortLPT2Click(QObject*) {
  ChoosePort(mnuPortLPT2, kLpt2Base);
}

void TfrmMain::mnuPortLPT3Click(QObject*) {
  ChoosePort(mnuPortLPT3, kLpt3Base);
}

void TfrmMain::mnuPortListedClick(QObject* Sender) {
  auto* item = qobject_cast<QAction*>(Sender);
  if (item) ChoosePort(item, static_cast<std::uint16_t>(item->data().toUInt()));
}

// Asks for a hexadecimal base; a base an item lists takes that item's mark, any other is shown by
// an item of its own. A text that is no base is asked for again, as it was typed.
void TfrmMain::mnuPortOtherClick(QObject*) {
  const QString range =
      QString::fromLatin1(IoAddressText(kLowestLptBase) + " to " + IoAddressText(kHighestLptBase));
  QString text = QString::fromLatin1(IoAddressText(state_.PortBase));
  std::optional<std::uint16_t> base;
  while (!base) {
    const std::optional<QString> typed = messages_.Ask(
        this, {QStringLiteral("  PORT"),
               QStringLiteral("I/O base address of the port (hexadecimal, %1):").arg(range), text});
    if (!typed) return;
    base = CardBase(*typed);
    if (!base)
      MessageBox(QStringLiteral("\"%1\" is not a port address: give a hexadecimal I/O base from "
                                "%2, e.g. 0xD010")
                     .arg(typed->trimmed(), range),
                 QStringLiteral("  PORT"), MsgIcon::Error);
    text = *typed;
  }
  state_.PortBase = *base;
  programmer_.SetPort(*base);
  UpdatePort();
}

// --- The programmer on the port ----------------------------------------------------------------

void TfrmMain::ChooseProgrammer(const ProgrammerChoice& choice) {
  // A wiring the parser refuses raises before anything changes.
  const std::optional<CableUse> cable = CableUseOf(choice);
  programmerChoice_ = choice;
  // The session makes the new programmer idle at once: on the worker, which does every port
  // access. A port that cannot be reached is reported once, and the choice stands.
  try {
    worker_.Run([&] { programmer_.UseCable(cable); });
  } catch (...) {
    ReportOnce(std::current_exception());
  }
  StoreProgrammerChoice(choice, settings_.Keys());
  UpdateProgrammer();
  if (cable && !FindIspFamily(state_.DeviceType)) cboType->setCurrentIndex(FirstIspDeviceType());
  emit ProgrammerChanged();
}

void TfrmMain::UpdateProgrammer() {
  const CableUse* cable = programmer_.CableInUse();
  QAction* marked = mnuPortBoard;
  if (cable) {
    marked = mnuPortOwnCable;
    for (QAction* item : mnuPortCables)
      if (item->data().toString().toStdString() == programmerChoice_.Cable) marked = item;
  }
  marked->setChecked(true);
  const bool own = cable && marked == mnuPortOwnCable;
  mnuPortOwnCable->setText(
      own ? QStringLiteral("ISP Cable of &Your Own Wiring (%1)...")
                .arg(QString::fromStdString(PrintableText(programmerChoice_.Cable)))
          : QStringLiteral("ISP Cable of &Your Own Wiring..."));
  mnuPortCrystal->setText(
      QStringLiteral("Target &Crystal (%1 MHz)...")
          .arg(QString::fromStdString(MegahertzText(programmerChoice_.CrystalHz))));
  // Through a cable the box offers only the chips it can program; the others stay in the list,
  // hidden and disabled, so that an entry's index is still its device type.
  auto* model = qobject_cast<QStandardItemModel*>(cboType->model());
  auto* view = qobject_cast<QListView*>(cboType->view());
  for (int type = 0; type < cboType->count(); ++type) {
    const bool offered = !cable || FindIspFamily(type);
    if (model) model->item(type)->setEnabled(offered);
    if (view) view->setRowHidden(type, !offered);
  }
  UpdateLbDisp();
  UpdateTitle();
}

void TfrmMain::mnuPortBoardClick(QObject*) {
  if (!programmerChoice_.UseCable) return UpdateProgrammer();
  ProgrammerChoice choice = programmerChoice_;
  choice.UseCable = false;
  ChooseProgrammer(choice);
}

void TfrmMain::mnuPortCableClick(QObject* Sender) {
  auto* item = qobject_cast<QAction*>(Sender);
  if (!item) return;
  ProgrammerChoice choice = programmerChoice_;
  choice.UseCable = true;
  choice.Cable = item->data().toString().toStdString();
  if (choice == programmerChoice_) return UpdateProgrammer();
  ChooseProgrammer(choice);
}

// A wiring the parser refuses is told why, as the command line tells it, and asked for again as
// it was typed; a cancelled question leaves the programmer as it was.
void TfrmMain::mnuPortOwnCableClick(QObject*) {
  const bool tableCable = std::any_of(mnuPortCables.begin(), mnuPortCables.end(), [&](QAction* a) {
    return a->data().toString().toStdString() == programmerChoice_.Cable;
  });
  QString text = tableCable
                     ? QString::fromLatin1(CableWiringText(ParseCable(programmerChoice_.Cable)))
                     : QString::fromStdString(programmerChoice_.Cable);
  for (;;) {
    const std::optional<QString> typed = messages_.Ask(
        this, {QStringLiteral("  ISP CABLE"),
               QStringLiteral("Wiring by DB-25 pin (rst, sck, mosi: pins 1-9, 14, 16, 17; miso: "
                              "10-13, 15; ~ inverts; en=, vcc= for a buffer or supply):"),
               text});
    if (!typed) return UpdateProgrammer();
    ProgrammerChoice choice = programmerChoice_;
    choice.UseCable = true;
    choice.Cable = typed->trimmed().toStdString();
    try {
      ChooseProgrammer(choice);
      return;
    } catch (const CableSpecError& e) {
      MessageBox(QString::fromStdString(e.what()), QStringLiteral("  ISP CABLE"), MsgIcon::Error);
    }
    text = *typed;
  }
}

void TfrmMain::mnuPortCrystalClick(QObject*) {
  QString text = QString::fromStdString(MegahertzText(programmerChoice_.CrystalHz));
  for (;;) {
    const std::optional<QString> typed = messages_.Ask(
        this, {QStringLiteral("  CRYSTAL"),
               QStringLiteral("Crystal of the target board in MHz (3 to 33; the AT89S53 and "
                              "S8252 up to 24):"),
               text});
    if (!typed) return;
    const std::optional<std::uint32_t> hz = ParseMegahertz(typed->toStdString());
    const std::optional<std::string> problem =
        hz ? CrystalProblem(*hz, state_.DeviceType) : std::nullopt;
    if (hz && !problem) {
      ProgrammerChoice choice = programmerChoice_;
      choice.CrystalHz = *hz;
      ChooseProgrammer(choice);
      return;
    }
    MessageBox(problem ? QString::fromStdString(*problem)
                       : QStringLiteral("\"%1\" is not a crystal frequency: give it in MHz, "
                                        "e.g. 11.0592")
                             .arg(typed->trimmed()),
               QStringLiteral("  CRYSTAL"), MsgIcon::Error);
    text = *typed;
  }
}

bool TfrmMain::CrystalFitsDevice(const QString& title) {
  const CableUse* cable = programmer_.CableInUse();
  if (!cable || !FindIspFamily(state_.DeviceType)) return true;
  const std::optional<std::string> problem = CrystalProblem(cable->CrystalHz, state_.DeviceType);
  if (!problem) return true;
  MessageBox(QString::fromStdString(*problem + "\rNothing was done."), title, MsgIcon::Warning);
  return false;
}

void TfrmMain::mnuHelpPortCheckClick(QObject*) {
  std::vector<std::string> lines{"This machine cannot tell about its ports."};
  if (ports_.Check) lines = ports_.Check();
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  MessageBox(QString::fromStdString(text), QStringLiteral("  PORT CHECK"), MsgIcon::Information);
}

}  // namespace kaldo
