#include "ui/recover_process_wnd.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLayout>
#include <QTreeWidget>
#include <QUrl>

#include "platform/text.h"

namespace brinvale::ui {
namespace {

// The width of the detail list's result column.
constexpr int kResultColumnWidth = 150;

constexpr ControlSpec kControls[] = {
    {"current", ControlKind::kText},     {"recovered", ControlKind::kText},
    {"percent", ControlKind::kText},     {"progress", ControlKind::kProgress},
    {"OpenBtn", ControlKind::kButton},   {"FinishBtn", ControlKind::kButton},
    {"CancelBtn", ControlKind::kButton}, {"DetailBtn", ControlKind::kButton},
    {"DetailList", ControlKind::kList},  {"closebtn", ControlKind::kButton},
};

}  // namespace

CRecoverProcessWnd::CRecoverProcessWnd(const UiContext& context, RecoveryJobSetup setup,
                                       FolderOpener openFolder)
    : CProcessWnd(context, QStringLiteral("UIRecoverProcessWnd"),
                  QStringLiteral("xml\\RecoverProcessWnd.xml"), QStringLiteral("RecoverProcessWnd"),
                  kControls, "MSG1103"),
      m_setup(std::move(setup)),
      m_openFolder(std::move(openFolder)) {
  if (!m_setup.messages) m_setup.messages = context.Messages();
  if (!m_openFolder) m_openFolder = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  SetSizable(true);
}

void CRecoverProcessWnd::InitWindow() {
  if (auto* list = Control<QTreeWidget>("DetailList")) {
    // The path takes the width the result leaves; a long one is cut at
    // its end.
    list->setTextElideMode(Qt::ElideRight);
    list->setWordWrap(false);
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    header->resizeSection(1, kResultColumnWidth);
    list->hide();
  }
  if (auto* finish = Control("FinishBtn")) finish->hide();
}

void CRecoverProcessWnd::RunJob() { RunRecoveryWindowJob(m_setup, *this, m_state); }

void CRecoverProcessWnd::OnClick(const QString& name) {
  if (name == QLatin1String("OpenBtn")) {
    m_openFolder(
        QUrl::fromLocalFile(QString::fromStdString(platform::PathToUtf8(m_setup.targetFolder))));
  } else if (name == QLatin1String("FinishBtn")) {
    CloseWith(int(CloseCode::kDone));
  } else if (name == QLatin1String("DetailBtn")) {
    ToggleDetail();
  } else if (name == QLatin1String("closebtn") || name == QLatin1String("CancelBtn")) {
    QWidget* finish = Control("FinishBtn");
    if (finish && !finish->isHidden())
      CloseWith(int(CloseCode::kDone));
    else
      AskToCancel();
  }
}

void CRecoverProcessWnd::ToggleDetail() {
  QWidget* list = Control("DetailList");
  m_detailShown = !m_detailShown;
  if (m_detailShown) {
    resize(size() + kDetailGrowth);
    if (list) list->show();
  } else {
    if (list) {
      list->hide();
      // The smaller minimum without the list counts before the resize:
      // every layout from the list's up to the window's is worked out anew.
      for (QWidget* w = list->parentWidget(); w; w = w == this ? nullptr : w->parentWidget()) {
        if (QLayout* box = w->layout()) {
          box->invalidate();
          box->activate();
        }
      }
    }
    resize(InitialSize());
  }
  CenterWindow();
}

void CRecoverProcessWnd::AfterCancel(std::optional<int>) { CloseWith(int(CloseCode::kCancelled)); }

}  // namespace brinvale::ui
