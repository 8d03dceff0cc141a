// The today box window.
#include "dialogs/todaybox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

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

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setPalette(QPalette());
  Button1->setDefault(true);
  Button1->setGeometry(scaled(16, s), scaled(72, s), scaled(57, s), scaled(25, s));
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(scaled(520, s), scaled(108, s));
}

void TForm4::setLines(const QStringList& lines) {
  ListBox1->clear();
  ListBox1->addItems(lines);
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
