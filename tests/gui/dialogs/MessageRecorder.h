// Stands in for the owner's message boxes and error report: records what a dialog would show.
#pragma once

#include <QString>
#include <vector>

#include "dialogs/DialogCommon.h"

struct ShownMessage {
  QString Title;
  QString Text;
  QMessageBox::Icon Icon;
};

struct MessageRecorder {
  std::vector<ShownMessage> Messages;
  std::vector<QString> Errors;

  kaldo::DialogMessages Seam() {
    return {[this](const QString& title, const QString& text, QMessageBox::Icon icon) {
              Messages.push_back({title, text, icon});
            },
            [this](const std::exception& error) { Errors.push_back(QString(error.what())); }};
  }
};
