#pragma once

#include <QObject>

class QFileSystemWatcher;

namespace brinvale::ui {

// Tells when disks may have come or gone: on Linux when the device folder
// "/dev" changes (a disk or partition node made or removed), on Windows on
// the window system's device-change message. Often says so more than once
// for one change; the listener waits for things to settle. Interface
// thread only.
class CDeviceChangeWatcher : public QObject {
  Q_OBJECT
 public:
  explicit CDeviceChangeWatcher(QObject* parent = nullptr);
  ~CDeviceChangeWatcher() override;

 signals:
  void devicesChanged();

 private:
  QFileSystemWatcher* m_watcher = nullptr;
  class NativeFilter;
  NativeFilter* m_filter = nullptr;
};

}  // namespace brinvale::ui
