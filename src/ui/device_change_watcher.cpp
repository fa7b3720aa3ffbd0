#include "ui/device_change_watcher.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QFileSystemWatcher>

namespace brinvale::ui {
namespace {

// The start of the window system's MSG record on Windows: the window and
// the message number.
struct NativeMessageHead {
  void* window;
  unsigned int message;
};
constexpr unsigned int kDeviceChangeMessage = 0x219;

}  // namespace

// The window system's device-change message (0x219) on Windows.
class CDeviceChangeWatcher::NativeFilter : public QAbstractNativeEventFilter {
 public:
  explicit NativeFilter(CDeviceChangeWatcher& owner) : m_owner(owner) {}
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type == "windows_generic_MSG" &&
        static_cast<const NativeMessageHead*>(message)->message == kDeviceChangeMessage)
      emit m_owner.devicesChanged();
    return false;
  }

 private:
  CDeviceChangeWatcher& m_owner;
};

CDeviceChangeWatcher::CDeviceChangeWatcher(QObject* parent) : QObject(parent) {
#if defined(_WIN32)
  m_filter = new NativeFilter(*this);
  QCoreApplication::instance()->installNativeEventFilter(m_filter);
#else
  m_watcher = new QFileSystemWatcher(this);
  m_watcher->addPath(QStringLiteral("/dev"));
  connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
          &CDeviceChangeWatcher::devicesChanged);
#endif
}

CDeviceChangeWatcher::~CDeviceChangeWatcher() {
  if (m_filter) {
    if (QCoreApplication* app = QCoreApplication::instance())
      app->removeNativeEventFilter(m_filter);
    delete m_filter;
  }
}

}  // namespace brinvale::ui
