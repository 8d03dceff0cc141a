// The today box window.
#include "dialogs/todaybox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "dialogs/dialog_behaviour.h"
#include "platform/display_scale.h"

namespace tavik {

namespace {

// A red exclamation mark on a round yellow sign, drawn at `size` pixels.
QPixmap exclamationIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 0, 0), size / 16.0));
  p.setBrush(QColor(255, 220, 40));
  const qreal m = size / 16.0;
  p.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 0, 0));
  const qreal w = size / 6.0;
  p.drawRoundedRect(QRectF((size - w) / 2, size * 0.2, w, size * 0.42), w / 3, w / 3);
  p.drawEllipse(QRectF((size - w) / 2, size * 0.68, w, w));
  return pixmap;
}

}  // namespace

// Draws a line of the box in three columns, at the places the box sets, like the cells of the
// countdown grid; a line without columns is drawn whole.
class TodayColumnsDelegate : public QStyledItemDelegate {
 public:
  static constexpr int kColumnsRole = Qt::UserRole + 1;

  using QStyledItemDelegate::QStyledItemDelegate;

  // Where the date and the text begin, from the start of an item's text area.
  void setColumnStarts(int dateAt, int textAt) {
    m_dateAt = dateAt;
    m_textAt = textAt;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QStringList columns = index.data(kColumnsRole).toStringList();
    if (columns.size() != 3) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    item.text.clear();
    const QWidget* view = item.widget;
    const QStyle* style = view != nullptr ? view->style() : QApplication::style();
    // Background, selection and focus as for any item; the texts come after.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, view);
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &item, view) + 1;
    QPalette::ColorGroup group =
        item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(item.state & QStyle::State_Active)) {
      group = QPalette::Inactive;
    }
    const bool selected = item.state & QStyle::State_Selected;
    painter->save();
    painter->setFont(item.font);
    painter->setPen(
        item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const int starts[] = {0, m_dateAt, m_textAt};
    for (int i = 0; i < 3; ++i) {
      QRect cell = area.adjusted(margin + starts[i], 0, 0, 0);
      if (i < 2) cell.setWidth(starts[i + 1] - starts[i]);
      painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, columns[i]);
    }
    painter->restore();
  }

  // As wide as the text column reaches, so that the list scrolls to a long text's end.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    const QStringList columns = index.data(kColumnsRole).toStringList();
    if (columns.size() == 3) {
      const int margin = QApplication::style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
      hint.setWidth(m_textAt + option.fontMetrics.horizontalAdvance(columns[2]) + 4 * margin);
    }
    return hint;
  }

 private:
  int m_dateAt = 0;
  int m_textAt = 0;
};

TForm4::TForm4(QWidget* parent) : QDialog(parent, Qt::Tool) {
  setObjectName(QStringLiteral("TForm4"));
  setWindowTitle(QString::fromUtf8(kTodayBoxTitle));
  setAutoFillBackground(true);
  QPalette green = palette();
  green.setColor(QPalette::Window, QColor(0, 128, 0));
  setPalette(green);

  const double s = uiScale(font());
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  // The picture comes with the first showing (showEvent).
  Image1->setAccessibleName(QStringLiteral("Ausrufezeichen"));
  Image1->setGeometry(scaled(24, s), scaled(16, s), scaled(32, s), scaled(32, s));

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setAccessibleName(QStringLiteral("Heutige Ereignisse"));
  ListBox1->setPalette(QPalette());
  ListBox1->setGeometry(scaled(88, s), scaled(8, s), scaled(417, s), scaled(89, s));
  m_columns = new TodayColumnsDelegate(ListBox1);
  ListBox1->setItemDelegate(m_columns);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setPalette(QPalette());
  Button1->setDefault(true);
  Button1->setGeometry(scaled(16, s), scaled(72, s), scaled(57, s), scaled(25, s));
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(scaled(520, s), scaled(108, s));
}

void TForm4::setLines(const QList<TodayBoxLine>& lines) {
  const QFontMetrics metrics(ListBox1->font());
  // The grid's cell padding between the columns.
  const int gap = scaled(8, uiScale(ListBox1->font()));
  int dayWidth = 0;
  int dateWidth = 0;
  for (const TodayBoxLine& l : lines) {
    dayWidth = std::max(dayWidth, metrics.horizontalAdvance(l.day));
    dateWidth = std::max(dateWidth, metrics.horizontalAdvance(l.date));
  }
  m_columns->setColumnStarts(dayWidth + gap, dayWidth + gap + dateWidth + gap);
  ListBox1->clear();
  for (const TodayBoxLine& l : lines) {
    auto* item = new QListWidgetItem(l.line, ListBox1);
    if (!l.day.isEmpty() || !l.date.isEmpty() || !l.text.isEmpty()) {
      item->setData(TodayColumnsDelegate::kColumnsRole, QStringList{l.day, l.date, l.text});
    }
  }
}

QStringList TForm4::lines() const {
  QStringList out;
  for (int i = 0; i < ListBox1->count(); ++i) out << ListBox1->item(i)->text();
  return out;
}

void TForm4::showEvent(QShowEvent* event) {
  // Read here rather than at creation: the first picture read loads Qt's image plugins, which
  // a start without a today box need not wait for.
  if (Image1->pixmap().isNull()) {
    const int side = scaled(32, uiScale(font()));
    // The drawn mark stands in when the picture is missing from the resources.
    const QPixmap icon(QStringLiteral(":/tavik/icons/today-32.png"));
    Image1->setPixmap(icon.isNull()
                          ? exclamationIcon(side)
                          : icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
  centreOnScreen(*this, QGuiApplication::primaryScreen(), rect());
  Button1->setFocus();
  QDialog::showEvent(event);
}

}  // namespace tavik
