// Whole numbers 0..255 and texts in ~/.config/HOLVENTARIS/Tavik! v4.x.conf; anything else is the
// wrong type.
#include "platform/qsettings_user_store.h"

namespace tavik {

QSettingsUserStore::QSettingsUserStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("HOLVENTARIS"),
                 QStringLiteral("Tavik! v4.x")) {}

UserStore::Read QSettingsUserStore::read(const std::string& name, std::uint8_t& out) {
  const QString key = QString::fromStdString(name);
  if (!m_settings.contains(key)) return Read::Missing;
  const QVariant value = m_settings.value(key);
  bool ok = false;
  const int number = value.toString().trimmed().toInt(&ok, 10);
  if (value.userType() == QMetaType::QStringList || !ok || number < 0 || number > 255) {
    return Read::WrongType;
  }
  out = static_cast<std::uint8_t>(number);
  return Read::Value;
}

bool QSettingsUserStore::write(const std::string& name, std::uint8_t value) {
  if (!m_settings.isWritable()) return false;
  m_settings.setValue(QString::fromStdString(name), static_cast<int>(value));
  return true;
}

std::string QSettingsUserStore::filePath() const {
  return m_settings.fileName().toLocal8Bit().toStdString();
}

UserStore::Read QSettingsUserStore::readText(const std::string& name, std::string& out) {
  const QString key = QString::fromStdString(name);
  if (!m_settings.contains(key)) return Read::Missing;
  const QVariant value = m_settings.value(key);
  if (value.userType() != QMetaType::QString && value.userType() != QMetaType::QByteArray) {
    return Read::WrongType;
  }
  out = value.toString().toStdString();
  return Read::Value;
}

bool QSettingsUserStore::writeText(const std::string& name, const std::string& text) {
  if (!m_settings.isWritable()) return false;
  m_settings.setValue(QString::fromStdString(name), QString::fromStdString(text));
  return true;
}

bool QSettingsUserStore::sync() {
  m_settings.sync();
  return m_settings.status() == QSettings::NoError;
}

}  // namespace tavik
