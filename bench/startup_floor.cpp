// The floor of any Qt Widgets program of this shape: a window with six tabbed pages, a
// three-column table on the first and a status bar, ended after the table's first paint.
// With --stay it keeps running under the caption "Tavik floor", for a probe that watches the
// X server from outside and ends the process itself.
#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <cstring>

#include "bench/startup_probe.h"

namespace {

int start(int argc, char** argv, tavik::bench::PaintTimes& times) {
  const bool stay = argc > 1 && std::strcmp(argv[1], "--stay") == 0;
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Tavik floor"));
  auto* tabs = new QTabWidget;
  auto* table = new QTableWidget(1, 3);
  tabs->addTab(table, QStringLiteral("Tavik!"));
  for (const char* caption : {"Editor", "Optionen", "Import", "Export", "About"}) {
    tabs->addTab(new QWidget, QString::fromLatin1(caption));
  }
  window.setCentralWidget(tabs);
  window.statusBar();
  const tavik::bench::QuitAfterPaint quit(
      table->viewport(), [stay] { return !stay; }, times);
  window.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  tavik::bench::PaintTimes times;
  const int result = start(argc, argv, times);
  tavik::bench::printTimes(times);
  return result;
}
