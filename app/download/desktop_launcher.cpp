#include "app/download/desktop_launcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

bool QtDesktopLauncher::StartProgram(const std::string& program, const std::string& argument) {
  return QProcess::startDetached(QString::fromStdString(program), {QString::fromStdString(argument)});
}

bool QtDesktopLauncher::OpenWithDefault(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtDesktopLauncher::ShowInFolder(const std::string& path) {
  const QString file = QString::fromStdString(path);
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QString service = QStringLiteral("org.freedesktop.FileManager1");
  if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service).value()) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       service, QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
    QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
  }
  QFileInfo info(file);
  const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
  return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtDesktopLauncher::OpenAddress(const std::string& address) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}
