// A notification server for end-to-end tests: owns org.freedesktop.Notifications on the session
// bus and prints every call it gets, one argument per line, hints with their D-Bus types.
//
// Options: --markup   reports the capability "body-markup"
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>
#include <cstdio>

namespace {

void say(const QString& line) {
  std::fputs((line + u'\n').toUtf8().constData(), stdout);
  std::fflush(stdout);
}

class Server : public QDBusVirtualObject {
 public:
  explicit Server(bool markup) : m_markup(markup) {}

  QString introspect(const QString&) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() == QStringLiteral("GetCapabilities")) {
      say(QStringLiteral("GetCapabilities"));
      QStringList capabilities{QStringLiteral("body")};
      if (m_markup) capabilities << QStringLiteral("body-markup");
      connection.send(message.createReply(QVariant(capabilities)));
      return true;
    }
    if (message.member() != QStringLiteral("Notify")) return false;
    say(QStringLiteral("Notify ") + message.signature());
    const QList<QVariant> args = message.arguments();
    const char* const names[] = {"app_name", "replaces_id", "app_icon", "summary",
                                 "body",     "actions",     "hints",    "expire_timeout"};
    for (int i = 0; i < args.size() && i < 8; ++i) {
      const QString name = QString::fromUtf8(names[i]);
      if (name == QStringLiteral("hints")) {
        QVariantMap hints;
        args[i].value<QDBusArgument>() >> hints;
        for (auto it = hints.cbegin(); it != hints.cend(); ++it) {
          const QVariant& value = it.value();
          // A byte would print as its character.
          const QString text = value.metaType().id() == QMetaType::UChar
                                   ? QString::number(value.toUInt())
                                   : value.toString();
          say(QStringLiteral("hint %1=%2:%3")
                  .arg(it.key(), QString::fromUtf8(value.metaType().name()), text));
        }
      } else if (name == QStringLiteral("actions")) {
        say(QStringLiteral("actions=") + args[i].toStringList().join(u','));
      } else {
        say(name + u'=' + args[i].toString().replace(u'\n', QStringLiteral("\\n")));
      }
    }
    connection.send(message.createReply(QVariant::fromValue(1u)));
    return true;
  }

 private:
  bool m_markup;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Server server(app.arguments().contains(QStringLiteral("--markup")));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &server) ||
      !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
    std::fputs("cannot own org.freedesktop.Notifications\n", stderr);
    return 1;
  }
  say(QStringLiteral("ready"));
  return QCoreApplication::exec();
}
