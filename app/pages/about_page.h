// The About page: banner with name, version and author line, and the maker's contact links.
#pragma once

#include <QByteArray>
#include <QWidget>

class QFrame;
class QLabel;

namespace tavik {

class Shell;
class BannerPicture;

// The maker's name and contact addresses (placeholders on the reserved .example domain).
inline constexpr const char* kMakerName = "Holventaris";
inline constexpr const char* kMakerHost = "www.holventaris.example";
inline constexpr const char* kMakerWebUrl = "https://www.holventaris.example/";
inline constexpr const char* kMakerMail = "tavik@holventaris.example";

class AboutPage : public QWidget {
  Q_OBJECT

 public:
  // The page with the banner built into the program. Links go to the desktop through `shell`.
  explicit AboutPage(Shell& shell, QWidget* parent = nullptr);
  // The page with the banner decoded from `bannerJpeg`; when that is no readable JPEG the page
  // shows without the picture.
  AboutPage(Shell& shell, const QByteArray& bannerJpeg, QWidget* parent = nullptr);

  // The banner as built into the program (JPEG bytes).
  static QByteArray builtInBanner();

  // Sets the three labels that start-up fills: version, build stamp and author line. Until then
  // they show their design captions "Label11", "Label5" and "Label12".
  void setStartupTexts();

  QFrame* Bevel1;
  QWidget* Image1;  // the banner picture, the four labels below laid over it
  QLabel* Label13;  // maker's name, over the picture
  QLabel* Label11;  // program and version, over the picture
  QLabel* Label5;   // version and build stamp, over the picture
  QLabel* Label12;  // author line, over the picture
  QLabel* Label14;
  QLabel* Label15;
  QLabel* Label17;
  QWidget* Panel2;
  QLabel* Label8;  // web link
  QLabel* Label9;  // mail link

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Label8Click();
  void Label9Click();
  void Label8MouseMove();
  void Label9MouseMove();
  void Panel2MouseMove();
  // Hands `target` to the desktop; whether it could open it is not looked at.
  void openLink(const QString& target);

  Shell& m_shell;
  BannerPicture* m_banner;  // Image1
  // The banner's JPEG bytes until the page is first shown and decodes them.
  QByteArray m_bannerJpeg;
};

}  // namespace tavik
