// The signature table: the signature bytes of every supported device, to compare with what the
// Signature command reads.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace kaldo {

class TfrmSignature : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmSignature(QWidget* parent = nullptr);

  // The table as the window first shows it, 19 lines.
  static QString TableText();

  QPlainTextEdit* mmoSignature;
  QPushButton* OkButton;

  void OkButtonClick() { close(); }

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace kaldo
