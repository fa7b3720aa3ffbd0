#include "ui/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#include "platform/folders.h"
#include "platform/text.h"

namespace brinvale::ui {
namespace {

// One line each way: the request, then "1" when the window was brought
// forward or "0" when there is none.
constexpr char kShowRequest[] = "show\n";

}  // namespace

CSingleInstance::CSingleInstance(QString lockFile, QString serverName)
    : m_lock(lockFile), m_serverName(std::move(serverName)) {
  // A lock whose process is gone is taken over at once, whatever its age.
  m_lock.setStaleLockTime(0);
}

CSingleInstance::~CSingleInstance() = default;

bool CSingleInstance::Acquire() {
  QDir().mkpath(QFileInfo(m_lock.fileName()).absolutePath());
  if (!m_lock.tryLock(0) && m_lock.error() == QLockFile::LockFailedError) return false;
  // The lock is ours (or cannot be had at all), so a socket left by an
  // instance that died is stale.
  QLocalServer::removeServer(m_serverName);
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  connect(m_server.get(), &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
  m_server->listen(m_serverName);
  return true;
}

void CSingleInstance::OnConnection() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray request = socket->readLine();
      bool shown = false;
      if (request == kShowRequest && m_window) {
        m_window->showNormal();
        m_window->raise();
        m_window->activateWindow();
        shown = true;
        emit showRequested();
      }
      socket->write(shown ? "1\n" : "0\n");
      socket->flush();
    });
  }
}

bool CSingleInstance::AskFirstToShow(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(m_serverName);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kShowRequest);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine() == "1\n";
}

QString DefaultInstanceLockFile() {
  const std::filesystem::path folder = platform::AppDataFolder() / "OrlentaBrinvaleRecovery";
  return QString::fromStdString(platform::PathToUtf8(folder / "brinvale.lock"));
}

QString DefaultInstanceServerName() {
#if defined(Q_OS_WIN)
  return QStringLiteral("OrlentaBrinvale-") + qEnvironmentVariable("USERNAME");
#else
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return QDir(runtime.isEmpty() ? QDir::tempPath() : runtime)
      .filePath(QStringLiteral("brinvale.socket"));
#endif
}

}  // namespace brinvale::ui
