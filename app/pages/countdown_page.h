// The first page: the header sentence and the countdown grid with its hidden line list.
#pragma once

#include <QWidget>

#include "dates/countdown.h"

class QHBoxLayout;
class QLabel;
class QListView;
class QTableView;

namespace tavik {

inline constexpr const char* kEmptyTableHint =
    "Noch keine Ereignisse eingetragen.\n\nAuf der Seite „Editor“ legen Sie mit „neuen Eintrag "
    "zufügen“ ein Ereignis an, oder Sie übernehmen Geburtstage aus einem Adressbuch auf der Seite "
    "„Import“.";

class CountdownGridModel;
class CountdownLinesModel;

class CountdownPage : public QWidget {
  Q_OBJECT

 public:
  explicit CountdownPage(QWidget* parent = nullptr);

  // Replaces the line list and the grid with one rebuild's result. The grid ends in one empty
  // row, so an empty result leaves a single empty row.
  void showView(std::vector<std::string> lines, std::vector<GridRow> grid);
  void setColumnWidths(int first, int second, int third);
  // Shows or hides emptyTableHint over the grid.
  void showEmptyTableHint(bool show);

  // The header: "Heute ist" weekday "der" date "Ereignisse in den nächsten" days "Tagen".
  QLabel* StaticText1;
  QLabel* Label1;
  QLabel* StaticText2;
  QLabel* Label2;
  QLabel* StaticText3;
  QLabel* Label3;
  QLabel* StaticText4;
  // The countdown lines; never shown, the today box takes its lines from the same rebuild.
  QListView* ListBox1;
  // Three columns (day text, date, event text) over the grid rows of the last rebuild.
  QTableView* StringGrid1;
  // Over the grid while the table holds no event at all: how to make the first one.
  QLabel* emptyTableHint;
  // The row under the grid, where the main window keeps its Exit button.
  QHBoxLayout* bottomRow;

 private:
  CountdownLinesModel* m_lines;
  CountdownGridModel* m_cells;
};

}  // namespace tavik
