// Fakes of the window seams: boxes are recorded and answered, the clock is pinned, the quick-help
// window only counts.
#pragma once

#include <QDate>
#include <QStringList>
#include <deque>

#include "dialogs/quick_help.h"
#include "platform/seams.h"
#include "store/settings_store.h"

namespace tavik::test {

class FakeMessages : public Messages {
 public:
  struct Box {
    enum Kind { Info, Error, Confirm } kind;
    QString text;
    bool cancelIsDefault = false;
  };
  std::vector<Box> boxes;
  std::deque<bool> answers;  // answers to confirm(), first first; OK when empty
  // Runs while a box is "open", e.g. to let a timer fire inside it.
  std::function<void()> whileOpen;

  void info(QWidget*, const QString& text) override { record({Box::Info, text}); }
  void error(QWidget*, const QString& text) override { record({Box::Error, text}); }
  bool confirm(QWidget*, const QString& text, bool cancelIsDefault) override {
    record({Box::Confirm, text, cancelIsDefault});
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  QStringList texts() const {
    QStringList out;
    for (const Box& b : boxes) out << b.text;
    return out;
  }

 private:
  void record(Box box) {
    boxes.push_back(std::move(box));
    if (whileOpen) whileOpen();
  }
};

class FakeFileDialogs : public FileDialogs {
 public:
  // What the next dialogs do: the paths "selected" while open, then the confirmed result.
  QStringList selections;
  std::optional<QString> openResult;
  std::optional<QString> saveResult;
  int opened = 0;
  FileDialogSetup lastSetup;  // as the last dialog was opened

  std::optional<QString> openFile(QWidget*, FileDialogSetup& setup,
                                  const std::function<void(const QString&)>& changed) override {
    ++opened;
    lastSetup = setup;
    for (const QString& s : selections) changed(s);
    if (openResult) setup.fileName = *openResult;
    return openResult;
  }
  std::optional<QString> saveFile(QWidget*, FileDialogSetup& setup) override {
    ++opened;
    lastSetup = setup;
    if (saveResult) setup.fileName = *saveResult;
    return saveResult;
  }
};

class FakeShell : public Shell {
 public:
  std::vector<QUrl> opened;
  void openUrl(const QUrl& url) override { opened.push_back(url); }
};

// A per-user store that holds nothing and takes every write.
class NoUserStore : public UserStore {
 public:
  Read read(const std::string&, std::uint8_t&) override { return Read::Missing; }
  bool write(const std::string&, std::uint8_t) override { return true; }
  Read readText(const std::string&, std::string&) override { return Read::Missing; }
  bool writeText(const std::string&, const std::string&) override { return true; }
  bool sync() override { return true; }
};

class FakeClock : public Clock {
 public:
  QDate date{2006, 12, 15};
  QString shortDateText;  // empty: dd.MM.yy of `date`
  QDate today() const override { return date; }
  QString shortDate(const QDate& d) const override {
    return shortDateText.isEmpty() ? d.toString(QStringLiteral("dd.MM.yy")) : shortDateText;
  }
};

// The quick-help window of a dialog under test: topics shown and hides are kept.
class FakeQuickHelp : public QuickHelp {
 public:
  QStringList shown;
  const QWidget* helped = nullptr;  // the window of the latest showing
  int hides = 0;
  bool visible = false;
  void showQuickHelp(const QString& topic, const QWidget* helpedWindow) override {
    shown << topic;
    helped = helpedWindow;
    visible = true;
  }
  void hideQuickHelp() override {
    ++hides;
    visible = false;
  }
  bool quickHelpVisible() const override { return visible; }
};

}  // namespace tavik::test
