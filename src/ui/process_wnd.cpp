#include "ui/process_wnd.h"

#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <mutex>

#include "ui/message_box.h"

namespace brinvale::ui {
namespace {

// How often a confirmed cancel looks whether the job has finished.
constexpr int kJobPollMs = 50;

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

CProcessWnd::CProcessWnd(const UiContext& context, QString windowClassName, QString skinFile,
                         QString section, std::span<const ControlSpec> controls,
                         std::string cancelKey)
    : CPopUpWnd(context, std::move(windowClassName), std::move(skinFile), std::move(section),
                controls),
      m_cancelKey(std::move(cancelKey)) {}

CProcessWnd::~CProcessWnd() { StopWorker(); }

void CProcessWnd::StopWorker() {
  if (!m_worker.joinable()) return;
  if (!m_state.JobFinished()) {
    std::lock_guard<JobLock> guard(m_state.lock);
    m_state.cancelRequested.store(1);
  }
  // A question the worker still waits for is dropped unanswered (a no), so
  // the worker can end.
  QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
  m_worker.join();
}

template <typename Call>
void CProcessWnd::Queue(Call&& call) {
  QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::QueuedConnection);
}

void CProcessWnd::SetText(std::string_view control, const std::string& text) {
  Queue([this, name = std::string(control), text] { SetControlText(name, text); });
}

void CProcessWnd::SetVisible(std::string_view control, bool visible) {
  Queue([this, name = FromUtf8(control), visible] {
    if (QWidget* widget = Control(name)) widget->setVisible(visible);
  });
}

void CProcessWnd::SetProgress(std::string_view control, int percent) {
  Queue([this, name = FromUtf8(control), percent] {
    if (auto* bar = Control<QProgressBar>(name)) bar->setValue(percent);
  });
}

void CProcessWnd::AddRow(std::string_view control, const std::vector<std::string>& cells,
                         bool atTop, uint32_t color) {
  Queue([this, name = FromUtf8(control), cells, atTop, color] {
    auto* list = Control<QTreeWidget>(name);
    if (!list) return;
    auto* item = new QTreeWidgetItem;
    for (size_t i = 0; i < cells.size(); ++i) {
      const int column = int(i);
      item->setText(column, QString::fromStdString(cells[i]));
      item->setToolTip(column, item->text(column));
      item->setTextAlignment(column,
                             Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignHCenter));
      if (color != 0) item->setForeground(column, QColor::fromRgba(color));
    }
    if (atTop)
      list->insertTopLevelItem(0, item);
    else
      list->addTopLevelItem(item);
  });
}

void CProcessWnd::ShowWindow(bool shown) {
  Queue([this, shown] { setVisible(shown); });
}

int CProcessWnd::Ask(int kind, const std::string& text) {
  auto ask = [this, kind, &text] {
    QWidget* owner = isVisible() ? static_cast<QWidget*>(this) : parentWidget();
    return ShowMessage(Context(), kind, owner, text);
  };
  if (QThread::currentThread() == thread()) return ask();
  int answer = 2;
  QMetaObject::invokeMethod(
      this, [&] { answer = ask(); }, Qt::BlockingQueuedConnection);
  return answer;
}

void CProcessWnd::PostToParent(int message) {
  // Posted straight to the owner, so it arrives even when this window is
  // gone by then.
  if (m_owner) QCoreApplication::postEvent(m_owner, new QEvent(QEvent::Type(message)));
}

void CProcessWnd::Close(brinvale::CloseCode code) {
  Queue([this, code] { CloseWith(int(code)); });
}

void CProcessWnd::OnWindowInit() {
  CPopUpWnd::OnWindowInit();
  m_owner = parentWidget();
  m_worker = std::thread([this] {
    RunJob();
    m_workerReturned.store(true);
  });
}

void CProcessWnd::OnClick(const QString& name) {
  if (name == QLatin1String("closebtn") || name == QLatin1String("cancelbtn") ||
      name == QLatin1String("CancelBtn"))
    AskToCancel();
}

void CProcessWnd::AskToCancel() {
  if (m_asking || ClosedWith() || m_workerReturned.load()) return;
  m_asking = true;
  // A close the job asks for while the question is open waits for the
  // answer.
  HoldClose();
  bool stop = false;
  {
    std::lock_guard<JobLock> guard(m_state.lock);
    stop = Ask(kQuestionBoxKind, Text(Context().Messages(), m_cancelKey)) == 1;
    if (stop) m_state.cancelRequested.store(1);
  }
  if (stop) {
    WaitForJob();
    AfterCancel(ReleaseClose());
  } else if (std::optional<int> code = ReleaseClose()) {
    CloseWith(*code);
  }
  m_asking = false;
}

// Waits with the interface running: the worker's texts keep arriving, and
// a question it asks meanwhile is answered rather than left to block it.
// A job that returned without marking itself finished (a search at a
// source without an engine) ends the wait too.
void CProcessWnd::WaitForJob() {
  auto done = [this] { return m_state.JobFinished() || m_workerReturned.load(); };
  if (done()) return;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kJobPollMs);
  connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start();
  loop.exec();
}

void CProcessWnd::AfterCancel(std::optional<int> jobClose) {
  if (jobClose) CloseWith(*jobClose);
}

}  // namespace brinvale::ui
