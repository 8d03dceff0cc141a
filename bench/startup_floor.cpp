// The floor of any Qt Widgets program of this shape: a window with six tabbed pages, a
// three-column table on the first and a status bar, ended after the table's first paint.
#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

#include "bench/startup_probe.h"

namespace {

int start(int argc, char** argv, tavik::bench::PaintTimes& times) {
  QApplication app(argc, argv);
  QMainWindow window;
  auto* tabs = new QTabWidget;
  auto* table = new QTableWidget(1, 3);
  tabs->addTab(table, QStringLiteral("Tavik!"));
  for (const char* caption : {"Editor", "Optionen", "Import", "Export", "About"}) {
    tabs->addTab(new QWidget, QString::fromLatin1(caption));
  }
  window.setCentralWidget(tabs);
  window.statusBar();
  const tavik::bench::QuitAfterPaint quit(
      table->viewport(), [] { return true; }, times);
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
