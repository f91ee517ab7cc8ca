// The main window's Port menu: the three LPT bases, the machine's other ports, a base typed in
// Other Address..., and the port check of the Help menu.
#include <QAction>
#include <optional>

#include "app/UnitFormMain.h"
#include "core/Convert.h"
#include "core/model/LptPorts.h"
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

void TfrmMain::mnuHelpPortCheckClick(QObject*) {
  std::vector<std::string> lines{"This machine cannot tell about its ports."};
  if (ports_.Check) lines = ports_.Check();
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  MessageBox(QString::fromStdString(text), QStringLiteral("  PORT CHECK"), MsgIcon::Information);
}

}  // namespace kaldo
