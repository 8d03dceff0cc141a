// The About page: its texts, the links handed to the shell, the underline on hover, room for
// every text at other fonts, and readable texts over the banner or without it.
#include "app/pages/about_page.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QtTest>

#include "app/pages/jpeg_image.h"
#include "tests/support/ui_fakes.h"

using tavik::AboutPage;

namespace {

QLabel* labelOf(const AboutPage& page, const QString& name) {
  return page.findChild<QLabel*>(name);
}

// The page as the main window shows it: start-up texts set, on screen at its preferred size.
bool showPage(AboutPage& page) {
  page.setStartupTexts();
  page.resize(page.sizeHint());
  page.show();
  const bool exposed = QTest::qWaitForWindowExposed(&page);
  QCoreApplication::processEvents();
  return exposed;
}

QPoint centreOn(const AboutPage& page, const QWidget* widget) {
  return widget->mapTo(&page, widget->rect().center());
}

// Relative luminance and contrast ratio as WCAG 2 defines them.
double luminance(const QColor& c) {
  const auto channel = [](double v) {
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor averageColour(const QImage& image, const QRect& area) {
  double r = 0, g = 0, b = 0;
  const QRect inside = area.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      r += c.redF(), g += c.greenF(), b += c.blueF();
    }
  }
  const double n = double(inside.width()) * inside.height();
  return QColor::fromRgbF(float(r / n), float(g / n), float(b / n));
}

bool hasReddishPixel(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 150 && c.green() < 90 && c.blue() < 90) return true;
    }
  }
  return false;
}

}  // namespace

class AboutPageTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    QApplication::setFont(m_font);
    QApplication::setPalette(m_palette);
  }

  void showsItsTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before");  // before start-up fills the page
    QTest::addColumn<QString>("after");
    const auto row = [](const char* name, const QString& before, const QString& after) {
      QTest::newRow(name) << QString::fromLatin1(name) << before << after;
    };
    row("Label11", "Label11", "Tavik! v4.5");
    row("Label5", "Label5", "Tavik! v4.5.1 - #20060402");
    row("Label12", "Label12", "© 2001-2006 Holventaris");
    row("Label13", "Holventaris", "Holventaris");
    row("Label14", "", "");
    row("Label15", "Für Fragen und Feedback zu Tavik! besuchen Sie bitte",
        "Für Fragen und Feedback zu Tavik! besuchen Sie bitte");
    row("Label17", "oder schreiben Sie eine E-Mail an:", "oder schreiben Sie eine E-Mail an:");
    row("Label8", "www.holventaris.example", "www.holventaris.example");
    row("Label9", "tavik@holventaris.example", "tavik@holventaris.example");
  }

  void showsItsTexts() {
    QFETCH(QString, name);
    QFETCH(QString, before);
    QFETCH(QString, after);
    tavik::test::FakeShell shell;
    AboutPage page(shell);
    QLabel* label = labelOf(page, name);
    QVERIFY(label);
    QCOMPARE(label->text(), before);
    page.setStartupTexts();
    QCOMPARE(label->text(), after);
  }

  void linksLookLikeLinks() {
    tavik::test::FakeShell shell;
    AboutPage page(shell);
    for (const char* name : {"Label8", "Label9"}) {
      const QLabel* link = labelOf(page, QString::fromLatin1(name));
      QVERIFY(link);
      QCOMPARE(link->palette().color(link->foregroundRole()), QColor(0, 0, 128));
      QVERIFY(link->font().bold());
      QVERIFY(!link->font().underline());
      QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
      QCOMPARE(link->statusTip(),
               QStringLiteral("Fragen Sie hier nach neuen Versionen oder melden Sie Fehler!"));
      QCOMPARE(link->parentWidget()->objectName(), QStringLiteral("Panel2"));
    }
    QCOMPARE(page.Label11->font().pointSize(), 18);
    QCOMPARE(page.Label13->font().pointSize(), 8);
    QVERIFY(page.Label11->font().bold() && page.Label13->font().bold());
  }

  void clickHandsTargetToShell_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("web link: the full URL, not the host shown")
        << "Label8" << Qt::LeftButton << QStringList{"https://www.holventaris.example/"};
    QTest::newRow("mail link") << "Label9" << Qt::LeftButton
                               << QStringList{"mailto:tavik@holventaris.example"};
    QTest::newRow("panel beside the links") << "Panel2" << Qt::LeftButton << QStringList{};
    QTest::newRow("right button") << "Label8" << Qt::RightButton << QStringList{};
  }

  void clickHandsTargetToShell() {
    QFETCH(QString, target);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QStringList, opened);
    tavik::test::FakeShell shell;
    AboutPage page(shell);
    QVERIFY(showPage(page));
    const QWidget* widget = page.findChild<QWidget*>(target);
    const QPoint at =
        target == "Panel2" ? widget->mapTo(&page, QPoint(2, 2)) : centreOn(page, widget);
    QTest::mouseClick(page.windowHandle(), button, {}, at);
    QStringList urls;
    for (const QUrl& url : shell.opened) urls << url.toString();
    QCOMPARE(urls, opened);
  }

  // Each step moves the mouse onto a place and states which links are then underlined,
  // "U-" meaning the web link only. Nothing ever changes their colour or bold face.
  void hoverUnderlinesUntilThePanel_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("link, panel, other link")
        << QStringList{"Label8 U-", "Panel2 --", "Label9 -U", "Panel2 --"};
    QTest::newRow("jump from link to link") << QStringList{"Label8 U-", "Label9 UU", "Panel2 --"};
    QTest::newRow("back and forth without the panel")
        << QStringList{"Label9 -U", "Label8 UU", "Label9 UU", "Panel2below --"};
    QTest::newRow("leaving the panel straight from a link")
        << QStringList{"Label8 U-", "Label15 U-", "Bevel1 U-", "Label17 U-", "Panel2 --"};
  }

  void hoverUnderlinesUntilThePanel() {
    QFETCH(QStringList, steps);
    tavik::test::FakeShell shell;
    AboutPage page(shell);
    QVERIFY(showPage(page));
    // Free places of the panel: its top left corner and the space below the mail link.
    const QMap<QString, QPoint> places{
        {"Label8", centreOn(page, page.Label8)},
        {"Label9", centreOn(page, page.Label9)},
        {"Panel2", page.Panel2->mapTo(&page, QPoint(2, 2))},
        {"Panel2below",
         page.Panel2->mapTo(&page, QPoint(page.Panel2->width() / 2, page.Panel2->height() - 3))},
        {"Label15", centreOn(page, page.Label15)},
        {"Label17", centreOn(page, page.Label17)},
        {"Bevel1", centreOn(page, page.Bevel1)},
    };
    // Enter at the page's corner: Qt drops a move to where the pointer already is.
    QTest::mouseMove(page.windowHandle(), QPoint(1, 1));
    for (const QString& step : steps) {
      const QStringList parts = step.split(u' ');
      QVERIFY2(places.contains(parts[0]), qPrintable(step));
      QTest::mouseMove(page.windowHandle(), places[parts[0]]);
      const QString seen = QString(page.Label8->font().underline() ? "U" : "-") +
                           (page.Label9->font().underline() ? "U" : "-");
      QVERIFY2(seen == parts[1], qPrintable(step + " but saw " + seen));
      for (const QLabel* link : {page.Label8, page.Label9}) {
        QVERIFY2(link->font().bold(), qPrintable(step));
        QCOMPARE(link->palette().color(link->foregroundRole()), QColor(0, 0, 128));
      }
    }
  }

  // Every text keeps the room it needs, inside its parent and clear of the others, also at a
  // larger system font and in a page much wider than it asks for.
  void everyTextFitsUnclipped_data() {
    QTest::addColumn<int>("pointSize");  // 0: the system font as it is
    QTest::addColumn<bool>("smallest");  // the page at its minimum size, not its preferred one
    QTest::addColumn<int>("extraWidth");
    QTest::addColumn<int>("titlePoints");  // Label11's size, as a high resolution would make it
    QTest::newRow("system font") << 0 << false << 0 << 18;
    QTest::newRow("large system font") << 15 << false << 0 << 18;
    QTest::newRow("large system font, smallest page") << 15 << true << 0 << 18;
    QTest::newRow("small system font") << 6 << false << 0 << 18;
    QTest::newRow("wide page") << 0 << false << 400 << 18;
    QTest::newRow("title large beside the other texts") << 6 << true << 0 << 40;
  }

  void everyTextFitsUnclipped() {
    QFETCH(int, pointSize);
    QFETCH(bool, smallest);
    QFETCH(int, extraWidth);
    QFETCH(int, titlePoints);
    if (pointSize > 0) {
      QFont font = QApplication::font();
      font.setPointSize(pointSize);
      QApplication::setFont(font);
    }
    tavik::test::FakeShell shell;
    AboutPage page(shell);
    QFont title = page.Label11->font();
    title.setPointSize(titlePoints);
    page.Label11->setFont(title);
    QVERIFY(showPage(page));
    const QSize size = smallest ? page.minimumSizeHint() : page.size();
    page.resize(size.width() + extraWidth, size.height());
    QCoreApplication::processEvents();

    QList<QLabel*> texts;
    for (QLabel* label : page.findChildren<QLabel*>()) {
      if (!label->text().isEmpty()) texts << label;
    }
    QCOMPARE(texts.size(), 8);
    for (const QLabel* label : texts) {
      const QString name = label->objectName();
      const QSize needed = label->sizeHint();
      QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
               qPrintable(name));
      QVERIFY2(label->parentWidget()->rect().contains(label->geometry()), qPrintable(name));
    }
    QVERIFY(page.rect().contains(page.Panel2->geometry()));
    QVERIFY(page.rect().contains(page.Bevel1->geometry()));
    for (const QLabel* a : texts) {
      for (const QLabel* b : texts) {
        if (a == b) continue;
        const QRect ra(a->mapTo(&page, QPoint(0, 0)), a->size());
        const QRect rb(b->mapTo(&page, QPoint(0, 0)), b->size());
        QVERIFY2(!ra.intersects(rb), qPrintable(a->objectName() + " on " + b->objectName()));
      }
    }
    // The texts over the picture keep right of its exclamation mark, which ends at a fifth of it.
    for (const QLabel* label : {page.Label13, page.Label11, page.Label5, page.Label12}) {
      QVERIFY2(label->x() > page.Image1->width() / 5, qPrintable(label->objectName()));
    }
    // The texts beside the links stand on the links' lines.
    QCOMPARE(page.Label15->mapTo(&page, QPoint(0, 0)).y(),
             page.Label8->mapTo(&page, QPoint(0, 0)).y());
    QCOMPARE(page.Label17->mapTo(&page, QPoint(0, 0)).y(),
             page.Label9->mapTo(&page, QPoint(0, 0)).y());
  }

  // With a dark colour scheme the texts over the light banner must not turn light, and without
  // the banner (damaged data) they must not stay dark on the dark page.
  void textsOverTheBannerStayReadable_data() {
    QTest::addColumn<QByteArray>("banner");
    QTest::addColumn<bool>("pictureShown");
    const QByteArray banner = AboutPage::builtInBanner();
    QTest::newRow("built-in banner") << banner << true;
    QTest::newRow("damaged banner") << banner.left(banner.size() / 2) << false;
    QTest::newRow("no JPEG at all") << QByteArray("kein Bild") << false;
  }

  void textsOverTheBannerStayReadable() {
    QFETCH(QByteArray, banner);
    QFETCH(bool, pictureShown);
    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    QApplication::setPalette(dark);
    tavik::test::FakeShell shell;
    AboutPage page(shell, banner);
    QVERIFY(showPage(page));
    QCOMPARE(page.Label11->text(), QStringLiteral("Tavik! v4.5"));

    // What the user sees: the red mark in the left fifth of the picture, or nothing there.
    const QImage seen = page.Image1->grab().toImage();
    QCOMPARE(hasReddishPixel(seen, QRect(0, 0, seen.width() / 5, seen.height())), pictureShown);

    const QImage picture = tavik::decodeJpeg(AboutPage::builtInBanner()).value();
    const double sx = double(picture.width()) / page.Image1->width();
    const double sy = double(picture.height()) / page.Image1->height();
    for (const QLabel* label : {page.Label13, page.Label11, page.Label5, page.Label12}) {
      const QRect g = label->geometry();
      const QColor behind =
          pictureShown ? averageColour(picture, QRect(int(g.x() * sx), int(g.y() * sy),
                                                      int(g.width() * sx), int(g.height() * sy)))
                       : page.palette().color(QPalette::Window);
      const QColor ink = label->palette().color(label->foregroundRole());
      QVERIFY2(contrast(ink, behind) >= 4.5,
               qPrintable(label->objectName() + ": " + ink.name() + " on " + behind.name()));
    }
  }

 private:
  const QFont m_font = QApplication::font();
  const QPalette m_palette = QApplication::palette();
};

QTEST_MAIN(AboutPageTest)
#include "about_page_test.moc"
