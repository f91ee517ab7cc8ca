#include "app/KaldoProgram.h"

#include <QApplication>

#include "app/Seams.h"
#include "app/UnitFormMain.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "device/Programmer.h"

namespace kaldo {

namespace {

// The last line of defence: an error that no handler caught still reaches the general error
// report, and the program goes on waiting for input.
class KaldoApplication : public QApplication {
 public:
  KaldoApplication(int& argc, char** argv, MessageSeam& messages)
      : QApplication(argc, argv), messages_(messages) {}

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      messages_.Show(activeWindow(), {QString::fromLatin1(kAppTitle),
                                      QString::fromStdString(ErrorReportText(e)), MsgIcon::Error});
    }
    return false;
  }

 private:
  MessageSeam& messages_;
};

}  // namespace

int RunKaldo(int argc, char** argv, const IoSpaceFactory& makeIoSpace) {
  QtMessageSeam messages;
  KaldoApplication app(argc, argv, messages);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
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
  Programmer programmer(state, std::move(io));

  TfrmMain frmMain({state, programmer, folder, messages, fileDialogs});
  frmMain.CreateDialogWindows();
  frmMain.show();
  return app.exec();
}

}  // namespace kaldo
