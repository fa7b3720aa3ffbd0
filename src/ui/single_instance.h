#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QLocalServer;
class QWidget;

namespace brinvale::ui {

// Makes sure one instance of the program runs per user. The first instance
// holds a lock file in the per-user data folder for its whole life and
// listens on a local socket; a later one, refused the lock, asks the first
// over that socket to bring its window forward. Interface thread only.
class CSingleInstance : public QObject {
  Q_OBJECT
 public:
  // `lockFile`: the lock's path; `serverName`: the local socket's full
  // path (Unix) or pipe name (Windows).
  CSingleInstance(QString lockFile, QString serverName);
  ~CSingleInstance() override;

  // True for the first instance, which then holds the lock and answers the
  // later ones. A lock that cannot be made at all (a folder that cannot be
  // written) does not keep the program from running: true too.
  bool Acquire();

  // For a later instance: asks the first to show its window in its normal
  // state. True when it did; false when it has no window or does not
  // answer within `timeoutMs`.
  bool AskFirstToShow(int timeoutMs = 3000);

  // The window the first instance brings forward when asked; null: none.
  void SetWindow(QWidget* window) { m_window = window; }

 signals:
  // A later instance asked for the window (and it was brought forward).
  void showRequested();

 private:
  void OnConnection();

  QLockFile m_lock;
  const QString m_serverName;
  std::unique_ptr<QLocalServer> m_server;
  QPointer<QWidget> m_window;
};

// The lock file in the per-user data folder ("OrlentaBrinvaleRecovery" in
// the application-data folder), made when missing.
QString DefaultInstanceLockFile();
// The socket's name for this user: a path in the runtime folder on Unix, a
// pipe name with the user's name on Windows.
QString DefaultInstanceServerName();

}  // namespace brinvale::ui
