// Writes PNG pictures of the operator's windows, drawn offscreen on the simulated unit in
// virtual time: the main window after start-up and after "General Status", the busy window,
// the entry dialog, the port selection dialog with its table of ports, the status line, and a
// unit's dossier (three status reads, the last one in the window, with changes between them).
//   window-screenshots [OUTPUT_DIR]      (default: docs)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "busy_dlg.h"
#include "entry_window.h"
#include "history/history_store.h"
#include "history_window.h"
#include "port_select_window.h"
#include "qt_operator.h"
#include "sim/sim_bench.h"
#include "sim/virtual_clock.h"
#include "tester_app.h"
#include "tester_window.h"
#include "ui/tester_dlg.h"
#include "unit_worker.h"

namespace {
int failures = 0;

void Save(QWidget& w, const QDir& dir, const char* name) {
  QCoreApplication::processEvents();
  const QPixmap shot = w.grab();
  const QString path = dir.filePath(name);
  const bool ok = !shot.isNull() && shot.width() > 50 && shot.height() > 30 && shot.save(path, "PNG");
  std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), shot.width(), shot.height());
  if (!ok) ++failures;
}

// Two earlier visits of the unit, weeks ago on other benches, before another address and
// firmware: the dossier then has three reads with changes between them.
void EarlierVisits(const std::filesystem::path& file, UnitStatus status, StatusChecks checks) {
  history::HistoryStore store;
  if (!store.Open(file)) {
    std::printf("FAILED: %s\n", store.Message().c_str());
    ++failures;
    return;
  }
  const DateTime now = DateTime::NowUtc();
  const struct {
    double daysAgo;
    const char *bench, *op, *firmware;
    int32_t address, count;
    float volts;
  } visits[] = {{61.2, "bench-1", "a.okafor", "V3.11.9 02/11/2020", 11, 21, 14.81f},
                {26.7, "bench-2", "j.lindqvist", "V3.12.3 20/01/2021", 12, 38, 14.73f}};
  for (const auto& v : visits) {
    history::HistoryEvent ev;
    ev.time = DateTime{now.value - v.daysAgo};
    ev.unitId = status.UnitId;
    ev.serial = status.SerialNo.str();
    ev.bench = v.bench;
    ev.operatorName = v.op;
    ev.terminal = "velmoor-terminal";
    ev.action = "General Status";
    ev.outcome = "done";
    ev.statusRead = true;
    status.T7V = v.firmware;
    status.Address = v.address;
    status.Count = v.count;
    status.Voltage = v.volts;
    checks.LastStatusTime = ev.time;
    const history::FieldTexts texts = history::TextsOf(checks, status);
    if (!store.Append(ev, &texts)) {
      std::printf("FAILED: %s\n", store.Message().c_str());
      ++failures;
    }
  }
}

// Lets the window's timers and the worker run until the worker is idle again.
void Settle(CTesterApp& app) {
  QEventLoop loop;
  QTimer::singleShot(100, &loop, &QEventLoop::quit);
  loop.exec();
  app.worker().WaitIdle();
  QCoreApplication::processEvents();
}
// The main window after the start-up search and after "General Status", with its status line
// naming the port and the unit. Returns what the unit read, for the visits made before it.
std::pair<UnitStatus, StatusChecks> ShootMainWindow(CTesterApp& app, const QDir& out) {
  app.Start();
  Settle(app);
  if (app.dlg().paneText.rfind("Velmoor detected on Comm", 0) != 0) {
    std::printf("FAILED: the search did not find the simulated unit\n");
    ++failures;
  }
  Save(app.window(), out, "main-window-startup.png");

  app.window().Click(ctl::kGeneralStatus);
  Settle(app);
  if (!app.dlg().IsVisible(ctl::kReadSensors)) {
    std::printf("FAILED: General Status did not reveal the unit buttons\n");
    ++failures;
  }
  Save(app.window(), out, "main-window-status.png");
  const std::string line = app.window().statusLine()->text().toStdString();
  if (line.find("COM3") == std::string::npos || line.find("unit 1A2B3C") == std::string::npos) {
    std::printf("FAILED: the status line reads \"%s\"\n", line.c_str());
    ++failures;
  }
  return {app.dlg().unit.status.currentStatus, app.dlg().unit.status.currentChecks};
}

void ShootBusyWindow(CTesterApp& app, const QDir& out) {
  app.op().ShowBusy();
  app.op().SetBusyCaption("Searching for Velmoor");
  QEventLoop frames;  // let the animation run a few frames
  QTimer::singleShot(400, &frames, &QEventLoop::quit);
  frames.exec();
  if (CBusyDlg* busy = app.op().busyWindow()) Save(*busy, out, "busy-window.png");
  else ++failures;
  app.op().HideBusy();
}

void ShootEntryDialog(CTesterApp& app, const QDir& out) {
  CEntryDlg entry;
  entry.useEnterButton = true;
  entry.title = "Enter Atmospheric pressure in millibars";
  entry.value = "1000";
  EntryWindow entryWindow(entry, &app.window());
  entryWindow.show();
  Save(entryWindow, out, "entry-dialog.png");
  entryWindow.hide();
}

// The simulated ports, with example details of USB adapters as a real machine lists them.
std::vector<SerialPortInfo> ExamplePorts(SimBench& bench) {
  std::vector<SerialPortInfo> listed = bench.provider.ListPorts();
  listed[0].device = "/dev/ttyUSB0";
  listed[0].description = "FT232R USB UART";
  listed[0].vendorId = 0x0403;
  listed[0].productId = 0x6001;
  listed[0].serialNumber = "A10K3XYZ";
  listed[0].byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
  listed[1].device = "/dev/ttyACM0";
  listed[1].description = "CP2105 Dual USB to UART Bridge";
  listed[1].vendorId = 0x10c4;
  listed[1].productId = 0xea70;
  listed[1].serialNumber = "0092F3A1";
  listed[1].byId = "/dev/serial/by-id/usb-Silicon_Labs_CP2105_0092F3A1-if00-port0";
  return listed;
}

void ShootPortSelection(CTesterApp& app, const QDir& out) {
  CPortSelectDlg ports;
  ports.SetPresent({false, true, true, true, true});
  ports.Open();
  const std::vector<SerialPortInfo> listed = ExamplePorts(*app.bench());
  PortSelectWindow portWindow(ports, listed, &app.window());
  if (portWindow.table()->rowCount() != static_cast<int>(listed.size())) {
    std::printf("FAILED: the port table has %d rows\n", portWindow.table()->rowCount());
    ++failures;
  }
  portWindow.list()->setCurrentIndex(0);  // "COMM  1", the example USB adapter
  portWindow.show();
  Save(portWindow, out, "port-selection-dialog.png");
  portWindow.hide();
}

// The foot of the window: the bottom row of buttons and the status line under it, which tells
// what changed since the unit's last visit and that the site is away.
void ShootStatusLine(CTesterApp& app, const QDir& out) {
  for (int i = 0; i < 300 && app.window().statusLine()->text().indexOf("site unreachable") < 0; ++i) {
    QThread::msleep(10);
    QCoreApplication::processEvents();
  }
  const std::string line = app.window().statusLine()->text().toStdString();
  if (line.find("fields changed since") == std::string::npos || line.find("(bench-2)") == std::string::npos ||
      line.find("site unreachable since") == std::string::npos) {
    std::printf("FAILED: the status line reads \"%s\"\n", line.c_str());
    ++failures;
  }
  QWidget& w = app.window();
  const QRect foot(0, w.height() - 76, w.width(), 76);
  const QPixmap shot = w.grab(foot);
  const QString path = out.filePath("status-line.png");
  const bool ok = !shot.isNull() && shot.save(path, "PNG");
  std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), shot.width(), shot.height());
  if (!ok) ++failures;
}

void ShootDossier(CTesterApp& app, const QDir& out) {
  app.window().historyButton()->click();  // read on the worker; the window opens as it ends
  for (int i = 0; i < 2000 && !app.window().historyWindow(); ++i) {
    QThread::msleep(10);
    QCoreApplication::processEvents();
  }
  HistoryWindow* dossier = app.window().historyWindow();
  if (!dossier || dossier->visits()->rowCount() != 3) {
    std::printf("FAILED: the dossier does not show three visits\n");
    ++failures;
    return;
  }
  // As it opens on the smallest screen it is made for.
  dossier->resize(1024, 700);
  Save(*dossier, out, "unit-dossier.png");
  dossier->close();
}

// The unit's third visit, here, after two elsewhere; since then it was moved to address 14.
// The bench's site server is away (nothing listens on its port): the status line says so.
void ShootThirdVisit(AppOptions options, IClock& clock, const std::filesystem::path& root, const QDir& out,
                     const std::pair<UnitStatus, StatusChecks>& firstRead) {
  options.historyFile = (root / "history.sqlite").string();
  options.site = "host=127.0.0.1 port=1 dbname=velmoor";
  EarlierVisits(options.historyFile, firstRead.first, firstRead.second);
  CTesterApp app(options, &clock);
  app.Start();
  Settle(app);
  app.bench()->unit->state.address = 14;
  app.window().Click(ctl::kGeneralStatus);
  Settle(app);
  ShootStatusLine(app, out);
  ShootDossier(app, out);
}
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  const QDir out(argc > 1 ? argv[1] : "docs");
  QDir().mkpath(out.path());

  const auto root =
      std::filesystem::temp_directory_path() / ("vt-shots-" + std::to_string(QCoreApplication::applicationPid()));
  AppOptions options;
  options.simulate = true;
  options.paths.root = root;
  options.historyFile = (root / "first-visits.sqlite").string();
  VirtualClock clock;
  std::pair<UnitStatus, StatusChecks> firstRead;
  {
    CTesterApp app(options, &clock);
    firstRead = ShootMainWindow(app, out);
    ShootBusyWindow(app, out);
    ShootEntryDialog(app, out);
    ShootPortSelection(app, out);
  }
  ShootThirdVisit(options, clock, root, out, firstRead);
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return failures == 0 ? 0 : 1;
}
