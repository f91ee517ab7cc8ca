#include "app/Seams.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <algorithm>

namespace kaldo {

QString DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

MsgAnswer QtMessageSeam::Show(QWidget* parent, const MessageRequest& request) {
  QMessageBox box(parent);
  box.setWindowTitle(request.Title);
  box.setText(DisplayText(request.Text));
  box.setTextFormat(Qt::PlainText);
  switch (request.Icon) {
    case MsgIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
    case MsgIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MsgIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case MsgIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case MsgIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (request.Buttons) {
    case MsgButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MsgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
    case MsgButtons::SaveDiscardCancel:
      box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Save);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
  }
  open_.push_back(&box);
  const int answer = box.exec();
  open_.erase(std::find(open_.begin(), open_.end(), &box));
  switch (request.Buttons) {
    case MsgButtons::Ok:
      return MsgAnswer::Ok;
    case MsgButtons::YesNo:
      return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    case MsgButtons::SaveDiscardCancel:
      break;
  }
  if (answer == QMessageBox::Save) return MsgAnswer::Save;
  return answer == QMessageBox::Discard ? MsgAnswer::Discard : MsgAnswer::Cancel;
}

void QtMessageSeam::Withdraw(QWidget* parent) {
  for (QMessageBox* box : open_)
    if (box->parentWidget() == parent) box->reject();
}

std::optional<QString> QtMessageSeam::Ask(QWidget* parent, const TextRequest& request) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, request.Title, request.Label,
                                             QLineEdit::Normal, request.Text, &ok);
  if (!ok) return std::nullopt;
  return text;
}

std::optional<QString> QtFileDialogSeam::Run(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent, request.Title, request.InitialDir);
  const bool save = request.Mode == FileDialogRequest::Kind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  // The program's own dialog on every desktop: its filters match names in either case, so
  // FIRMWARE.HEX shows beside firmware.hex.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  QStringList filters;
  QStringList suffixes;  // of each filter: its first pattern's extension
  for (const auto& [description, pattern] : request.Filters) {
    filters << (description.contains(QLatin1Char('(')) ? description
                                                       : description + " (" + pattern + ")");
    const QString first = pattern.section(QLatin1Char(' '), 0, 0);
    suffixes << (first.startsWith(QStringLiteral("*.")) ? first.mid(2) : request.DefaultExt);
  }
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(request.DefaultExt);
  // A name typed without an extension takes that of the filter shown, which picks its format.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
    const qsizetype i = filters.indexOf(filter);
    if (i >= 0) dialog.setDefaultSuffix(suffixes[i]);
  });
  if (!request.FileName.isEmpty()) dialog.selectFile(request.FileName);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return QString();
  return chosen.front();
}

bool TFileDialog::Execute() {
  std::optional<QString> chosen = seam_.Run(owner_, Request);
  if (!chosen) return false;
  Request.FileName = *chosen;
  return true;
}

}  // namespace kaldo
