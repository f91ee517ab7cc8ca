// The small pictures of the main window, drawn at run time.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kaldo {

QPixmap OpenFolderPicture();  // 16 x 15: an opening yellow folder with an arrow
QPixmap FloppyPicture();      // 16 x 16: a blue floppy disk
QPixmap InfoPicture();        // 18 x 18: a white letter i in a blue disc
QIcon ProgramIcon();          // the window icon when the installed one is missing: a chip

}  // namespace kaldo
