// The window on the real port's I/O space, as kaldo makes it (ppdev below the system tree of
// KALDO_SYSTEM_ROOT, the host's clock), run offscreen through the simulated PC behind
// /dev/parport0: a Write of the AT89C2051 ends "Programming/Verify OK". window.sh runs it through
// scripts/simport.sh and then verifies the chip with kaldo-cli --sim; without the library and its
// system tree it refuses to start.
#include <QComboBox>
#include <QTest>
#include <cstdlib>
#include <cstring>

#include "../gui/MainWindowRig.h"
#include "core/model/DeviceTable.h"
#include "link/Backend.h"

namespace kaldo::test {

class SimportWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void writeThroughPpdev() {
    const char* root = std::getenv("KALDO_SYSTEM_ROOT");
    const char* preload = std::getenv("LD_PRELOAD");
    if (root == nullptr || *root == '\0' || preload == nullptr ||
        std::strstr(preload, "kaldo_simport") == nullptr)
      QFAIL("run through scripts/simport.sh, which loads the simulated PC and its system tree");
    QTemporaryDir dir;
    ProgramState state;
    Programmer programmer(std::make_unique<HardwareIoSpace>(state.PortBase, HostSystem(root)));
    RecordingMessages messages;
    RecordingFileDialogs files;
    TfrmMain form({state, programmer, dir.path().toStdString(), messages, files, {}});
    messages.Form = &form;
    form.cboType->setCurrentIndex(FindDeviceType("89C2051"));
    for (int a = 0; a < 16; ++a) state.DataBuffer[a] = static_cast<std::uint8_t>(a);
    form.cmdWriteClick();
    QVERIFY(!messages.Shown.empty());
    QCOMPARE(messages.Last().Title, QString("  WRITE"));
    QCOMPARE(messages.Last().Text, QString("Programming/Verify OK"));
  }
};

}  // namespace kaldo::test

QTEST_MAIN(kaldo::test::SimportWindowTest)
#include "WindowTest.moc"
