// The two places where the program waits for the user outside its own windows: message boxes and
// file dialogs. Each goes through one small interface, so that tests can see what would be shown
// and give the answer; the Qt implementations are the ones the programs use.
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

class QMessageBox;
class QWidget;

namespace kaldo {

enum class MsgIcon { None, Information, Warning, Error, Question };
// YesNo: No is the default button. SaveDiscardCancel: Save is; Esc and closing the box are
// Cancel.
enum class MsgButtons { Ok, YesNo, SaveDiscardCancel };
enum class MsgAnswer { Ok, Yes, No, Save, Discard, Cancel };

struct MessageRequest {
  QString Title;
  QString Text;  // "\r" starts a new line
  MsgIcon Icon = MsgIcon::None;
  MsgButtons Buttons = MsgButtons::Ok;
};

// A question answered with a line of text.
struct TextRequest {
  QString Title;
  QString Label;
  QString Text;  // what the field holds at first
};

class MessageSeam {
 public:
  virtual ~MessageSeam() = default;
  virtual MsgAnswer Show(QWidget* parent, const MessageRequest& request) = 0;
  // The text typed, or nothing when the question was cancelled.
  virtual std::optional<QString> Ask(QWidget* parent, const TextRequest& request) = 0;
  // Takes back the message box that Show has open over parent, when there is one, as if the
  // user had answered nothing: that Show returns No for a question, Cancel for Save/Discard/Cancel.
  // A seam whose Show answers at once has nothing to take back.
  virtual void Withdraw(QWidget* /*parent*/) {}
};

struct FileDialogRequest {
  enum class Kind { Open, Save };
  Kind Mode = Kind::Open;
  QString Title;
  QString InitialDir;
  QString FileName;
  std::vector<std::pair<QString, QString>> Filters;  // description, pattern
  QString DefaultExt;                                // without the dot
};

class FileDialogSeam {
 public:
  virtual ~FileDialogSeam() = default;
  // The chosen full path, or nothing when the dialog was cancelled.
  virtual std::optional<QString> Run(QWidget* parent, const FileDialogRequest& request) = 0;
};

// A message text as it appears on screen: each carriage return becomes a line break.
QString DisplayText(const QString& text);

class QtMessageSeam : public MessageSeam {
 public:
  MsgAnswer Show(QWidget* parent, const MessageRequest& request) override;
  std::optional<QString> Ask(QWidget* parent, const TextRequest& request) override;
  void Withdraw(QWidget* parent) override;

 private:
  // The boxes whose Show is still waiting, the innermost last.
  std::vector<QMessageBox*> open_;
};

// Neither dialog insists that the file exists nor asks about overwriting: the commands do that.
class QtFileDialogSeam : public FileDialogSeam {
 public:
  std::optional<QString> Run(QWidget* parent, const FileDialogRequest& request) override;
};

// A file dialog component of a window: its settings stay between runs, Execute shows it through the
// seam and, when a file was chosen, leaves the full path in FileName.
class TFileDialog {
 public:
  TFileDialog(FileDialogRequest::Kind kind, FileDialogSeam& seam, QWidget* owner)
      : seam_(seam), owner_(owner) {
    Request.Mode = kind;
  }

  bool Execute();

  FileDialogRequest Request;  // Title, InitialDir, FileName, Filters, DefaultExt
  QString& Title() { return Request.Title; }
  QString& InitialDir() { return Request.InitialDir; }
  QString& FileName() { return Request.FileName; }

 private:
  FileDialogSeam& seam_;
  QWidget* owner_;
};

}  // namespace kaldo
