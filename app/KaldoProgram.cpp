#include "app/KaldoProgram.h"

#include <QApplication>
#include <QScreen>

#include "app/Seams.h"
#include "app/UnitFormMain.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "link/Board.h"
#include "link/Port.h"

namespace kaldo {

int RunKaldo(int argc, char** argv, const IoSpaceFactory& makeIoSpace) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  QtMessageSeam messages;
  QtFileDialogSeam fileDialogs;

  ProgramState state;
  std::unique_ptr<IoSpace> io;
  std::string folder;
  try {
    folder = ChooseSettingsFolder(CurrentSettingsEnvironment());
    io = makeIoSpace(state, folder);
  } catch (const std::exception& e) {
    messages.Show(nullptr, {QString::fromLatin1(kAppTitle),
                            QString::fromStdString(ErrorReportText(e)), MsgIcon::Error});
    return 1;
  }
  Port port(*io);
  Board board(state, port);

  TfrmMain frmMain({state, port, board, folder, messages, fileDialogs});
  frmMain.CreateDialogWindows();
  if (const QScreen* screen = frmMain.screen()) {
    QRect frame = frmMain.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    frmMain.move(frame.topLeft());
  }
  frmMain.show();
  return app.exec();
}

}  // namespace kaldo
