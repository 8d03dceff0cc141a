// The countdown page.
#include "app/pages/countdown_page.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/display_scale.h"

namespace tavik {

// One rebuild's countdown lines, made into text only when asked for.
class CountdownLinesModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  void setLines(std::vector<std::string> lines) {
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
    return QString::fromStdString(m_lines[static_cast<std::size_t>(index.row())]);
  }

 private:
  std::vector<std::string> m_lines;
};

// The grid's cells over one rebuild's rows, made into text only when the view asks for them: of
// a thousand rows a dozen are on the screen.
class CountdownGridModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(std::vector<GridRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
  }

  // The filled rows and the empty one after them.
  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size()) + 1;
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : 3;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if ((role != Qt::DisplayRole && role != Qt::FontRole) || !index.isValid() ||
        index.row() >= static_cast<int>(m_rows.size())) {
      return {};
    }
    const GridRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::FontRole) {
      // Round anniversaries stand out; the view's own font otherwise.
      if (!row.round) return {};
      QFont bold;
      bold.setBold(true);
      return bold;
    }
    switch (index.column()) {
      case 0:
        return QString::fromStdString(row.day);
      case 1:
        return QString::fromStdString(row.date);
      case 2:
        return QString::fromStdString(row.text);
      default:
        return {};
    }
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
  }

 private:
  std::vector<GridRow> m_rows;
};

namespace {

// Draws a cell's text as the standard delegate does for a plain, unselectable, unwrapped text,
// without its general text layout: that costs more than everything else at the first paint.
class PlainTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return;
    const QWidget* view = option.widget;
    const QStyle* style = view != nullptr ? view->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, view) + 1;
    QPalette::ColorGroup group =
        option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active)) {
      group = QPalette::Inactive;
    }
    QFont font = option.font;
    if (const QVariant own = index.data(Qt::FontRole); own.isValid()) {
      font = qvariant_cast<QFont>(own).resolve(font);
    }
    painter->save();
    painter->setPen(option.palette.color(group, QPalette::Text));
    painter->setFont(font);
    painter->drawText(option.rect.adjusted(margin, 0, -margin, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
  }
};

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

  ListBox1 = new QListView(this);
  m_lines = new CountdownLinesModel(ListBox1);
  ListBox1->setModel(m_lines);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setStatusTip(
      QStringLiteral("Hier sind alle Einträge sichtbar die innerhalb ihres Intervalls liegen"));
  ListBox1->setAccessibleName(QStringLiteral("Countdown-Zeilen"));
  ListBox1->hide();

  StringGrid1 = new QTableView(this);
  m_cells = new CountdownGridModel(StringGrid1);
  StringGrid1->setModel(m_cells);
  StringGrid1->setItemDelegate(new PlainTextDelegate(StringGrid1));
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

  // In the grid's own area, so the page keeps its layout whether it shows or not.
  emptyTableHint = new QLabel(QString::fromUtf8(kEmptyTableHint), StringGrid1->viewport());
  emptyTableHint->setObjectName(QStringLiteral("emptyTableHint"));
  emptyTableHint->setWordWrap(true);
  emptyTableHint->setAlignment(Qt::AlignCenter);
  emptyTableHint->setForegroundRole(QPalette::Text);
  auto* hintArea = new QVBoxLayout(StringGrid1->viewport());
  hintArea->setContentsMargins(scaled(12, s), scaled(6, s), scaled(12, s), scaled(6, s));
  hintArea->addWidget(emptyTableHint);
  emptyTableHint->hide();

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

void CountdownPage::showEmptyTableHint(bool show) {
  emptyTableHint->setVisible(show);
}

void CountdownPage::showView(std::vector<std::string> lines, std::vector<GridRow> grid) {
  m_lines->setLines(std::move(lines));
  m_cells->setRows(std::move(grid));
  StringGrid1->scrollToTop();
}

}  // namespace tavik
