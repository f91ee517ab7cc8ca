// Writes a picture of each dialog, as it first shows, into the folder named on the command line.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>

#include "dialogs/UnitFormAbout.h"
#include "dialogs/UnitFormEditBuffer.h"
#include "dialogs/UnitFormFillBuffer.h"
#include "dialogs/UnitFormSignature.h"
#include "dialogs/UnitFormSplash.h"

using namespace kaldo;

namespace {

bool Save(QWidget& window, const QDir& folder, const QString& name) {
  window.show();
  QApplication::processEvents();
  const bool saved = window.grab().save(folder.filePath(name));
  window.hide();
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  ProgramState state;
  state.DataBuffer[0] = 0x02;
  bool ok = true;

  TfrmEditBuffer edit(state, {});
  edit.edtAdr->setText("0000");
  edit.edtData->setText("02");
  ok &= Save(edit, folder, "edit-buffer.png");

  TfrmFillBuffer fill(state, {});
  fill.edtStart->setText("0000");
  fill.edtEnd->setText("7FFF");
  fill.edtData->setText("FF");
  ok &= Save(fill, folder, "fill-buffer.png");

  TfrmSignature signature;
  ok &= Save(signature, folder, "signature-table.png");

  TfrmAbout about;
  about.Beep = [] {};
  ok &= Save(about, folder, "about.png");

  auto* splash = new TfrmSplash();
  ok &= Save(*splash, folder, "splash.png");
  delete splash;
  return ok ? 0 : 1;
}
