// The About page: banner picture with texts over it, and two links handed to the desktop.
#include "app/pages/about_page.h"

#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/pages/jpeg_image.h"
#include "platform/seams.h"

namespace tavik {

namespace {

constexpr const char* kLinkHint = "Fragen Sie hier nach neuen Versionen oder melden Sie Fehler!";
const QColor kNavy{0, 0, 128};
// Over the light picture the texts stay dark whatever the desktop's colour scheme is.
const QColor kInkOverPicture{0, 0, 0};

// Space the design leaves around the links inside their panel: 8 to the left, 10 above, 3
// between them, 18 to the right of the longer and 20 below. A mouse leaving a link crosses it.
constexpr int kPanelLeft = 8;
constexpr int kPanelTop = 10;
constexpr int kPanelRight = 18;
constexpr int kPanelBottom = 20;
constexpr int kLinkGap = 3;

// "Verdana" where installed; otherwise the desktop's own font at the same size. Asking for a
// family that is not installed would make the font system search all fonts for a stand-in.
QFont verdanaBold(int pointSize) {
  QFont font;
  // Looked up in the list of installed families, which is at hand; hasFamily() would ask the
  // font system to resolve the name as an alias first.
  if (QFontDatabase::families().contains(QStringLiteral("Verdana"), Qt::CaseInsensitive)) {
    font.setFamily(QStringLiteral("Verdana"));
  }
  font.setPointSize(pointSize);
  font.setBold(true);
  return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

void setLinkFont(QLabel* link, bool underlined) {
  QFont font = link->font();
  font.setBold(true);
  font.setUnderline(underlined);
  link->setFont(font);
}

}  // namespace

// The banner picture with labels laid over it. It is drawn at its proportions (the page asks
// for the height that keeps them); when it gets more width than that, the mark on its left keeps
// its shape and only the plain ground right of it widens. The labels keep their design places,
// moved with the picture; one moves further down only where it would touch the one above
// (larger fonts), and the picture then grows to hold them all.
class BannerPicture : public QWidget {
 public:
  // The picture's size on the page in the design; the JPEG itself is 383 x 95.
  static constexpr int kDesignWidth = 391;
  static constexpr int kDesignHeight = 95;

  explicit BannerPicture(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  }

  void setPicture(QImage picture) {
    m_picture = std::move(picture);
    update();
  }

  // Places `label` at (x, y) of the design picture; with a width its text is right-aligned in it.
  void addLabel(QLabel* label, int x, int y, int width = 0) {
    m_places.push_back({label, x, y, width});
    relayout();
  }

  // Call after a label's text changed.
  void relayout() {
    updateGeometry();
    placeLabels();
  }

  QSize sizeHint() const override {
    const int width = minimumWidth();
    return {width, heightForWidth(width)};
  }

  QSize minimumSizeHint() const override {
    return {minimumWidth(), fittingHeight(minimumWidth(), kDesignHeight)};
  }

  bool hasHeightForWidth() const override { return true; }

  int heightForWidth(int width) const override {
    return fittingHeight(
        width, static_cast<int>(std::lround(kDesignHeight * double(width) / kDesignWidth)));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (m_picture.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int left = static_cast<int>(std::lround(mapX(kMarkPart, size())));
    const int pictureLeft = m_picture.width() * kMarkPart / kDesignWidth;
    painter.drawImage(QRect(0, 0, left, height()), m_picture,
                      QRect(0, 0, pictureLeft, m_picture.height()));
    painter.drawImage(QRect(left, 0, width() - left, height()), m_picture,
                      QRect(pictureLeft, 0, m_picture.width() - pictureLeft, m_picture.height()));
  }

  void resizeEvent(QResizeEvent*) override { placeLabels(); }

  bool event(QEvent* event) override {
    // A label over the picture changed its size (new text or font).
    if (event->type() == QEvent::LayoutRequest) relayout();
    return QWidget::event(event);
  }

 private:
  struct Place {
    QLabel* label;
    int x;
    int y;
    int width;  // 0: as wide as the text, left-aligned at x
  };
  // The design's left part holding the mark, ending before the first text.
  static constexpr int kMarkPart = 100;
  // Design space between the lowest label and the picture's lower edge, and at the right.
  static constexpr int kBottomMargin = 5;
  static constexpr int kRightMargin = 15;
  static constexpr int kMinimumGap = 2;

  // Where design column x lies on a picture of `size`.
  static double mapX(double x, QSize size) {
    const double proportional = double(size.height()) / kDesignHeight;
    if (size.width() <= kDesignWidth * proportional) return x * size.width() / kDesignWidth;
    if (x <= kMarkPart) return x * proportional;
    const double left = kMarkPart * proportional;
    return left + (x - kMarkPart) * (size.width() - left) / (kDesignWidth - kMarkPart);
  }

  // The narrowest picture that holds every text between its place and the right margin.
  int minimumWidth() const {
    int width = kDesignWidth;
    for (const Place& p : m_places) {
      const double share = 1.0 - double(p.x + kRightMargin) / kDesignWidth;
      width = std::max(width, static_cast<int>(std::ceil(p.label->sizeHint().width() / share)));
    }
    return width;
  }

  // Each label's geometry on a picture of `size`.
  std::vector<QRect> placements(QSize size) const {
    const double sy = double(size.height()) / kDesignHeight;
    std::vector<QRect> out;
    for (const Place& p : m_places) {
      const QSize text = p.label->sizeHint();
      int x = static_cast<int>(std::lround(mapX(p.x, size)));
      int width = text.width();
      if (p.width > 0) {
        const int right = static_cast<int>(std::lround(mapX(p.x + p.width, size)));
        width = std::max(width, right - x);
        x = right - width;
      }
      int y = static_cast<int>(std::lround(p.y * sy));
      if (!out.empty()) y = std::max(y, out.back().bottom() + 1 + kMinimumGap);
      out.emplace_back(x, y, width, text.height());
    }
    return out;
  }

  // The least height from `start` on at which all labels fit above the bottom margin. Labels
  // move down with the height, but by less than it grows, so this settles in a few rounds.
  int fittingHeight(int width, int start) const {
    int height = start;
    for (int round = 0; round < 16 && !m_places.empty(); ++round) {
      const int needed = placements({width, height}).back().bottom() + 1 + kBottomMargin;
      if (needed <= height) break;
      height = needed;
    }
    return height;
  }

  void placeLabels() {
    const std::vector<QRect> rects = placements(size());
    for (std::size_t i = 0; i < rects.size(); ++i) m_places[i].label->setGeometry(rects[i]);
  }

  QImage m_picture;
  std::vector<Place> m_places;
};

AboutPage::AboutPage(Shell& shell, QWidget* parent) : AboutPage(shell, builtInBanner(), parent) {}

AboutPage::AboutPage(Shell& shell, const QByteArray& bannerJpeg, QWidget* parent)
    : QWidget(parent), m_shell(shell) {
  const auto named = [](QWidget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
  };
  const auto label = [&](QWidget* owner, const char* name, const QString& text) {
    auto* l = new QLabel(text, owner);
    named(l, name);
    return l;
  };

  Bevel1 = new QFrame(this);
  named(Bevel1, "Bevel1");
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Bevel1->setLineWidth(1);
  m_banner = new BannerPicture(Bevel1);
  Image1 = named(m_banner, "Image1");
  Image1->setAccessibleName(QStringLiteral("Banner mit rotem Ausrufezeichen"));

  Label13 = label(Image1, "Label13", QString::fromLatin1(kMakerName));
  Label13->setFont(verdanaBold(8));
  Label11 = label(Image1, "Label11", QStringLiteral("Label11"));
  Label11->setFont(verdanaBold(18));
  Label5 = label(Image1, "Label5", QStringLiteral("Label5"));
  Label12 = label(Image1, "Label12", QStringLiteral("Label12"));
  Label12->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Design places on the page minus the picture's own place (9, 9).
  m_banner->addLabel(Label13, 119, 7);
  m_banner->addLabel(Label11, 127, 23);
  m_banner->addLabel(Label5, 119, 57);
  m_banner->addLabel(Label12, 119, 77, 257);
  // Most runs never show this page: the picture is decoded when it is first shown.
  m_bannerJpeg = bannerJpeg;

  Label14 = label(this, "Label14", QString());
  Label15 = label(this, "Label15",
                  QStringLiteral("Für Fragen und Feedback zu Tavik! besuchen Sie bitte"));
  Label17 = label(this, "Label17", QStringLiteral("oder schreiben Sie eine E-Mail an:"));
  Label17->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  Panel2 = new QWidget(this);
  named(Panel2, "Panel2");
  Panel2->setMouseTracking(true);
  Panel2->installEventFilter(this);
  Label8 = label(Panel2, "Label8", QString::fromLatin1(kMakerHost));
  Label9 = label(Panel2, "Label9", QString::fromLatin1(kMakerMail));
  for (QLabel* link : {Label8, Label9}) {
    setLinkFont(link, false);
    setTextColour(link, kNavy);
    link->setCursor(Qt::PointingHandCursor);
    link->setStatusTip(QString::fromUtf8(kLinkHint));
    link->setMouseTracking(true);
    link->installEventFilter(this);
  }

  // The texts beside the links share their lines, so they get one height; Label14 keeps a line
  // of it too.
  const int line = std::max(Label15->sizeHint().height(), Label8->sizeHint().height());
  for (QLabel* l : {Label14, Label15, Label17, Label8, Label9}) l->setFixedHeight(line);

  auto* bevel = new QVBoxLayout(Bevel1);
  bevel->setContentsMargins(0, 0, 0, 0);
  bevel->addWidget(Image1);

  auto* links = new QVBoxLayout(Panel2);
  links->setContentsMargins(kPanelLeft, kPanelTop, kPanelRight, kPanelBottom);
  links->setSpacing(kLinkGap);
  links->addWidget(Label8);
  links->addWidget(Label9);

  auto* texts = new QVBoxLayout;
  texts->setContentsMargins(0, kPanelTop, 0, 0);
  texts->setSpacing(kLinkGap);
  texts->addWidget(Label15);
  texts->addWidget(Label17);
  texts->addStretch(1);

  auto* contact = new QHBoxLayout;
  contact->setSpacing(0);
  contact->addLayout(texts, 1);
  contact->addWidget(Panel2, 0, Qt::AlignTop);

  // Margins and gaps as in the design: banner at 8, 8; Label14 7 below it; the panel right after.
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(0);
  page->addWidget(Bevel1);
  page->addSpacing(7);
  page->addWidget(Label14);
  page->addSpacing(1);
  page->addLayout(contact);
  page->addStretch(1);
}

QByteArray AboutPage::builtInBanner() {
  QFile file(QStringLiteral(":/tavik/banner.jpg"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void AboutPage::setStartupTexts() {
  Label5->setText(QStringLiteral("Tavik! v4.5.1 - #20060402"));
  Label11->setText(QStringLiteral("Tavik! v4.5"));
  Label12->setText(QStringLiteral("© 2001-2006 ") + QString::fromLatin1(kMakerName));
  m_banner->relayout();
}

void AboutPage::showEvent(QShowEvent* event) {
  if (!m_bannerJpeg.isNull()) {
    if (std::optional<QImage> picture = decodeJpeg(m_bannerJpeg)) {
      m_banner->setPicture(*picture);
      for (QLabel* l : {Label13, Label11, Label5, Label12}) setTextColour(l, kInkOverPicture);
    }
    m_bannerJpeg = QByteArray();
  }
  QWidget::showEvent(event);
}

bool AboutPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) {
    // A move over a link stops here, so that the panel behind it does not see it too.
    if (watched == Label8) {
      Label8MouseMove();
      return true;
    }
    if (watched == Label9) {
      Label9MouseMove();
      return true;
    }
    if (watched == Panel2) Panel2MouseMove();
  } else if (event->type() == QEvent::MouseButtonRelease &&
             (watched == Label8 || watched == Label9)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QLabel* link = static_cast<QLabel*>(watched);
    if (mouse->button() == Qt::LeftButton && link->rect().contains(mouse->position().toPoint())) {
      if (link == Label8)
        Label8Click();
      else
        Label9Click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void AboutPage::Label8Click() {
  openLink(QString::fromLatin1(kMakerWebUrl));
}

void AboutPage::Label9Click() {
  openLink(QStringLiteral("mailto:") + QString::fromLatin1(kMakerMail));
}

void AboutPage::Label8MouseMove() {
  setLinkFont(Label8, true);
}

void AboutPage::Label9MouseMove() {
  setLinkFont(Label9, true);
}

void AboutPage::Panel2MouseMove() {
  setLinkFont(Label8, false);
  setLinkFont(Label9, false);
}

void AboutPage::openLink(const QString& target) {
  m_shell.openUrl(QUrl(target));
}

}  // namespace tavik
