#include "ui/preview_process_wnd.h"

#include <QLabel>

namespace brinvale::ui {
namespace {

constexpr ControlSpec kControls[] = {
    {"stage", ControlKind::kText},        {"percent", ControlKind::kText},
    {"progress", ControlKind::kProgress}, {"CancelBtn", ControlKind::kButton},
    {"FileName", ControlKind::kText},
};

}  // namespace

CPreviewProcessWnd::CPreviewProcessWnd(const UiContext& context, PreviewJobSetup setup)
    : CProcessWnd(context, QStringLiteral("UIPreviewProcessWnd"),
                  QStringLiteral("xml\\PreviewProcessWnd.xml"), QStringLiteral("PreviewProcessWnd"),
                  kControls, "MSG0903"),
      m_setup(std::move(setup)) {
  if (!m_setup.messages) m_setup.messages = context.Messages();
}

void CPreviewProcessWnd::InitWindow() {
  if (auto* stage = Control<QLabel>("stage"))
    stage->setText(QString::fromStdString(Text(m_setup.messages, "MSG0902")));
  if (auto* name = Control<QLabel>("FileName")) {
    const std::string_view fileName = m_setup.record.Name();
    name->setText(QString::fromUtf8(fileName.data(), qsizetype(fileName.size())));
  }
}

void CPreviewProcessWnd::RunJob() { RunPreviewJob(m_setup, *this, m_state); }

}  // namespace brinvale::ui
