#include "app/UnitFormProductionSetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/Convert.h"

namespace kaldo {

namespace {

// In the order of SerialForm.
constexpr const char* kFormNames[] = {"bin-le", "bin-be", "bcd", "ascii"};

constexpr char kTitle[] = "  PRODUCTION RUN";

}  // namespace

TfrmProductionSetup::TfrmProductionSetup(const ProgramState& state, MessageSeam& messages,
                                         FileDialogSeam& fileDialogs, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages), fileDialogs_(fileDialogs) {
  setWindowTitle(QStringLiteral("Production Run"));
  setMinimumWidth(480);
  auto* layout = new QVBoxLayout(this);

  auto* count = new QHBoxLayout;
  count->addWidget(new QLabel(QStringLiteral("&Chips:"), this));
  spnCount = new QSpinBox(this);
  spnCount->setRange(1, 999999);
  static_cast<QLabel*>(count->itemAt(0)->widget())->setBuddy(spnCount);
  count->addWidget(spnCount);
  chkNoLimit = new QCheckBox(QStringLiteral("&No limit (until stopped)"), this);
  count->addWidget(chkNoLimit);
  count->addStretch();
  layout->addLayout(count);

  fraSerial = new QGroupBox(QStringLiteral("&Serial number in each chip"), this);
  fraSerial->setCheckable(true);
  auto* serial = new QFormLayout(fraSerial);
  edtSerialAdr = new QLineEdit(QStringLiteral("0000"), fraSerial);
  edtSerialAdr->setMaxLength(4);
  serial->addRow(QStringLiteral("&Address (hex):"), edtSerialAdr);
  auto* form = new QHBoxLayout;
  cboSerialForm = new QComboBox(fraSerial);
  cboSerialForm->addItems({QStringLiteral("binary, low byte first"),
                           QStringLiteral("binary, high byte first"), QStringLiteral("packed BCD"),
                           QStringLiteral("ASCII digits")});
  spnSerialWidth = new QSpinBox(fraSerial);
  spnSerialWidth->setRange(1, 20);
  spnSerialWidth->setValue(4);
  spnSerialWidth->setSuffix(QStringLiteral(" bytes"));
  form->addWidget(cboSerialForm);
  form->addWidget(spnSerialWidth);
  auto* formLabel = new QLabel(QStringLiteral("F&orm:"), fraSerial);
  formLabel->setBuddy(cboSerialForm);
  serial->addRow(formLabel, form);
  edtSerialStart = new QLineEdit(QStringLiteral("1"), fraSerial);
  serial->addRow(QStringLiteral("S&tart:"), edtSerialStart);
  edtSerialStep = new QLineEdit(QStringLiteral("1"), fraSerial);
  serial->addRow(QStringLiteral("Ste&p:"), edtSerialStep);
  layout->addWidget(fraSerial);
  // Outside the group, so that a refusal that is not the serial number's stands out too.
  lblSerialPreview = new QLabel(this);
  lblSerialPreview->setWordWrap(true);
  layout->addWidget(lblSerialPreview);

  auto* log = new QHBoxLayout;
  log->addWidget(new QLabel(QStringLiteral("&Log file:"), this));
  edtLog = new QLineEdit(this);
  static_cast<QLabel*>(log->itemAt(0)->widget())->setBuddy(edtLog);
  log->addWidget(edtLog, 1);
  btnLog = new QPushButton(QStringLiteral("&Browse..."), this);
  log->addWidget(btnLog);
  layout->addLayout(log);

  chkStopOnFailure = new QCheckBox(QStringLiteral("Stop at the first &failure"), this);
  layout->addWidget(chkStopOnFailure);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  btnOK = new QPushButton(QStringLiteral("Start"), this);
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  layout->addLayout(buttons);

  connect(chkNoLimit, &QCheckBox::toggled, spnCount, &QWidget::setDisabled);
  for (QLineEdit* e : {edtSerialAdr, edtSerialStart, edtSerialStep, edtLog})
    connect(e, &QLineEdit::textChanged, this, &TfrmProductionSetup::UpdatePreview);
  connect(spnCount, &QSpinBox::valueChanged, this, &TfrmProductionSetup::UpdatePreview);
  connect(spnSerialWidth, &QSpinBox::valueChanged, this, &TfrmProductionSetup::UpdatePreview);
  connect(cboSerialForm, &QComboBox::currentIndexChanged, this,
          &TfrmProductionSetup::UpdatePreview);
  connect(chkNoLimit, &QCheckBox::toggled, this, &TfrmProductionSetup::UpdatePreview);
  connect(fraSerial, &QGroupBox::toggled, this, &TfrmProductionSetup::UpdatePreview);
  connect(btnOK, &QPushButton::clicked, this, &TfrmProductionSetup::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnLog, &QPushButton::clicked, this, &TfrmProductionSetup::btnLogClick);
}

void TfrmProductionSetup::SetChoices(const ProductionChoices& c) {
  chkNoLimit->setChecked(c.Count == 0);
  spnCount->setValue(c.Count > 0 ? c.Count : spnCount->value());
  std::optional<SerialSpec> spec;
  try {
    if (!c.Serial.empty()) spec = ParseSerialSpec(c.Serial);
  } catch (const SerialSpecError&) {
    // A remembered serial number that no longer reads is forgotten.
  }
  fraSerial->setChecked(spec.has_value());
  if (spec) {
    edtSerialAdr->setText(QString::fromLatin1(IntToHex(spec->Address, 4)));
    cboSerialForm->setCurrentIndex(static_cast<int>(spec->Form));
    spnSerialWidth->setValue(spec->Width);
    edtSerialStart->setText(QString::number(spec->Start));
    edtSerialStep->setText(QString::number(spec->Step));
  }
  edtLog->setText(QString::fromStdString(c.LogFile));
  chkStopOnFailure->setChecked(c.StopOnFailure);
  UpdatePreview();
}

ProductionChoices TfrmProductionSetup::Choices() const {
  ProductionChoices c;
  c.Count = chkNoLimit->isChecked() ? 0 : spnCount->value();
  if (fraSerial->isChecked()) {
    c.Serial = edtSerialAdr->text().trimmed().toStdString() + ":" +
               kFormNames[std::max(0, cboSerialForm->currentIndex())] +
               std::to_string(spnSerialWidth->value()) + ":" +
               edtSerialStart->text().trimmed().toStdString() + ":" +
               edtSerialStep->text().trimmed().toStdString();
  }
  c.LogFile = edtLog->text().toStdString();
  c.StopOnFailure = chkStopOnFailure->isChecked();
  return c;
}

void TfrmProductionSetup::UpdatePreview() {
  const ProductionCheck check = CheckProductionRun(Choices(), state_);
  const bool refused = check.Problem.has_value();
  QString text = QString::fromStdString(
      refused ? *check.Problem
              : (check.Serial ? "The next chip gets " + NextSerialText(check) : std::string()));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  lblSerialPreview->setText(text);
  lblSerialPreview->setStyleSheet(refused ? QStringLiteral("color: #b00000")
                                          : QStringLiteral("font-family: monospace"));
}

void TfrmProductionSetup::btnOKClick() {
  const ProductionCheck check = CheckProductionRun(Choices(), state_);
  if (check.Problem) {
    messages_.Show(this, {QString::fromLatin1(kTitle), QString::fromStdString(*check.Problem),
                          MsgIcon::Warning, MsgButtons::Ok});
    return;
  }
  accept();
}

void TfrmProductionSetup::btnLogClick() {
  FileDialogRequest request;
  request.Mode = FileDialogRequest::Kind::Save;
  request.Title = QStringLiteral("Production Log");
  request.FileName = edtLog->text();
  request.Filters = {{QStringLiteral("Production Log (*.csv)"), QStringLiteral("*.csv")}};
  request.DefaultExt = QStringLiteral("csv");
  if (const std::optional<QString> chosen = fileDialogs_.Run(this, request))
    if (!chosen->isEmpty()) edtLog->setText(*chosen);
}

}  // namespace kaldo
