// The main window's production run: the dialog that takes its choices, and the run on the
// window's worker with its own window, as kaldo-cli produce runs it.
#include <QPointer>
#include <memory>
#include <optional>

#include "app/ProductionChoices.h"
#include "app/UnitFormMain.h"
#include "app/UnitFormProductionRun.h"
#include "app/UnitFormProductionSetup.h"
#include "core/Errors.h"
#include "device/IspSession.h"
#include "link/PortCheck.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"
#include "production/SerialCounter.h"

namespace kaldo {

namespace {

constexpr char kTitle[] = "  PRODUCTION RUN";

}  // namespace

void TfrmMain::mnuFileProductionRunClick(QObject*) {
  TfrmProductionSetup setup(state_, messages_, fileDialogs_, this);
  setup.SetChoices(ChoicesFromKeys(settings_.Keys()));
  if (setup.exec() != QDialog::Accepted) return;
  StoreChoices(setup.Choices(), settings_.Keys());
  ProductionRun(setup.Choices());
}

void TfrmMain::AskToStopProduction() {
  if (!productionRunning_ || productionStopped_ || programmer_.StopFlagInUse().Requested()) return;
  stopQuestionOpen_ = true;
  const bool stop =
      MessageBox(QStringLiteral("Stop the production run?\rThe chip being written is then left "
                                "unfinished, logged as stopped, and its serial number given "
                                "back."),
                 QString::fromLatin1(kTitle), MsgIcon::Question,
                 MsgButtons::YesNo) == MsgAnswer::Yes;
  stopQuestionOpen_ = false;
  if (!stop || !productionRunning_) return;
  productionStopped_ = true;
  programmer_.StopFlagInUse().Request();
}

void TfrmMain::ProductionRun(const ProductionChoices& choices) {
  ProductionCheck check = CheckProductionRun(choices, state_);
  // A run waits for each chip to come and go, which a cable sees only by the signature.
  if (!check.Problem && programmer_.CableInUse() && FindIspFamily(state_.DeviceType) &&
      !FindIspFamily(state_.DeviceType)->ReadSignature)
    check.Problem =
        "A production run through a cable needs a chip the cable can see come and go: the "
        "AT89S51 or S52 (the AT89S53 and S8252 have no signature over a cable). Use the "
        "programmer board for this one.";
  if (!check.Problem && !CrystalFitsDevice(QString::fromLatin1(kTitle))) return;
  if (check.Problem) {
    MessageBox(QString::fromStdString(*check.Problem), QString::fromLatin1(kTitle),
               MsgIcon::Warning);
    return;
  }
  StopFlag& stop = programmer_.StopFlagInUse();
  ProductionPlan plan;
  plan.Chip = JobOf(state_);
  plan.Count = choices.Count;
  plan.StopOnFailure = choices.StopOnFailure;
  plan.Serial = check.Serial;
  std::unique_ptr<SerialCounter> counter;
  if (plan.Serial)
    counter = std::make_unique<SerialCounter>(CounterFileOf(choices.LogFile), plan.Serial->Start,
                                              plan.Serial->Step, &stop);
  ProductionLog log(choices.LogFile, &stop);

  delete frmProductionRun;
  frmProductionRun = new TfrmProductionRun(
      state_.DeviceSize, [this] { Guarded([&] { AskToStopProduction(); }); }, this);
  TfrmProductionRun& window = *frmProductionRun;
  plan.Events = &window.Events();
  const std::vector<KernelPort> ports = ports_.List ? ports_.List() : std::vector<KernelPort>{};
  const ProductionBoard board{
      &programmer_, ports_.LogName.empty() ? PortLabel(state_.PortBase, ports) : ports_.LogName, "",
      ports_.NoChipWillCome, &window.Progress()};
  window.show();

  productionRunning_ = true;
  productionStopped_ = false;
  ProductionResult result;
  try {
    RunOnWorker(DeviceCommand::Write, [&](ProgressDisplay&) {
      result = RunProduction(plan, {board}, counter.get(), log, window.Lines());
    });
  } catch (...) {
    productionRunning_ = false;
    if (frmProductionRun) frmProductionRun->RunEnded(QStringLiteral("Run stopped"));
    throw;
  }
  productionRunning_ = false;
  const bool stoppedHere = productionStopped_;
  if (stoppedHere) stop.Clear();
  window.RunEnded(stoppedHere     ? QStringLiteral("Run stopped")
                  : result.Passed ? QStringLiteral("Run done")
                                  : QStringLiteral("Run ended"));
  try {
    if (result.Error) std::rethrow_exception(result.Error);
  } catch (const StoppedError&) {
    if (!stoppedHere) throw;
  }
  log.Close();
}

}  // namespace kaldo
