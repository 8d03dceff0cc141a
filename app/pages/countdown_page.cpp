// The countdown page.
#include "app/pages/countdown_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/display_scale.h"
#include "platform/qt_text.h"

namespace tavik {

namespace {

QLabel* headerLabel(const char* name, const QString& text, bool bold, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromUtf8(name));
  if (bold) {
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setAlignment(Qt::AlignCenter);
  }
  return label;
}

}  // namespace

CountdownPage::CountdownPage(QWidget* parent) : QWidget(parent) {
  const double s = uiScale(font());

  StaticText1 = headerLabel("StaticText1", QStringLiteral("Heute ist"), false, this);
  Label1 = headerLabel("Label1", QStringLiteral("Wochentag"), true, this);
  StaticText2 = headerLabel("StaticText2", QStringLiteral("der"), false, this);
  Label2 = headerLabel("Label2", QStringLiteral("20.01.2001"), true, this);
  StaticText3 =
      headerLabel("StaticText3", QStringLiteral("Ereignisse in den nächsten"), false, this);
  Label3 = headerLabel("Label3", QStringLiteral("99"), true, this);
  Label3->setStatusTip(QStringLiteral("Die Anzahl der Tage läßt sich in den Optionen ändern."));
  StaticText4 = headerLabel("StaticText4", QStringLiteral("Tagen"), false, this);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setStatusTip(
      QStringLiteral("Hier sind alle Einträge sichtbar die innerhalb ihres Intervalls liegen"));
  ListBox1->setAccessibleName(QStringLiteral("Countdown-Zeilen"));
  ListBox1->hide();

  StringGrid1 = new QTableWidget(1, 3, this);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setAccessibleName(QStringLiteral("Anstehende Ereignisse"));
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setShowGrid(false);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
  StringGrid1->setFocusPolicy(Qt::NoFocus);
  StringGrid1->setWordWrap(false);
  // Day texts end in blanks that line up columns elsewhere; they must not turn into "...".
  StringGrid1->setTextElideMode(Qt::ElideNone);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->setDefaultSectionSize(
      std::max(scaled(15, s), fontMetrics().height() + 2));
  // The design size at least; a wider header widens the grid and its last column.
  StringGrid1->setMinimumSize(scaled(393, s), scaled(129, s));
  StringGrid1->horizontalHeader()->setStretchLastSection(true);

  auto* header = new QHBoxLayout;
  header->setSpacing(scaled(4, s));
  for (QLabel* l : {StaticText1, Label1, StaticText2, Label2, StaticText3, Label3, StaticText4}) {
    header->addWidget(l);
  }
  header->addStretch();

  bottomRow = new QHBoxLayout;
  bottomRow->addStretch();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(scaled(8, s), scaled(4, s), scaled(8, s), scaled(4, s));
  column->addLayout(header);
  // The grid takes the height other pages give the window.
  column->addWidget(StringGrid1, 1);
  column->addLayout(bottomRow);
}

void CountdownPage::setColumnWidths(int first, int second, int third) {
  StringGrid1->setColumnWidth(0, first);
  StringGrid1->setColumnWidth(1, second);
  StringGrid1->setColumnWidth(2, third);
}

void CountdownPage::showView(const ViewResult& view) {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(view.lines.size()));
  for (const std::string& line : view.lines) lines << fromCp1252(line);
  ListBox1->clear();
  // In one insertion rather than one per line.
  ListBox1->addItems(lines);

  // One pass with painting off: a thousand rows must not flicker.
  StringGrid1->setUpdatesEnabled(false);
  StringGrid1->clearContents();
  StringGrid1->setRowCount(static_cast<int>(view.grid.size()) + 1);
  {
    // The view hears of the new cells once below, not once per cell.
    const QSignalBlocker quiet(StringGrid1->model());
    int row = 0;
    for (const GridRow& r : view.grid) {
      StringGrid1->setItem(row, 0, new QTableWidgetItem(fromCp1252(r.day)));
      StringGrid1->setItem(row, 1, new QTableWidgetItem(fromCp1252(r.date)));
      StringGrid1->setItem(row, 2, new QTableWidgetItem(fromCp1252(r.text)));
      ++row;
    }
  }
  if (!view.grid.empty()) {
    QAbstractItemModel* cells = StringGrid1->model();
    emit cells->dataChanged(cells->index(0, 0),
                            cells->index(static_cast<int>(view.grid.size()) - 1, 2));
  }
  StringGrid1->scrollToTop();
  StringGrid1->setUpdatesEnabled(true);
}

}  // namespace tavik
