#include "ui/preview_process_wnd.h"

#include <QLabel>

#include "app/message_format.h"

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
  const std::string_view fileName = m_setup.record.Name();
  if (auto* stage = Control<QLabel>("stage"))
    stage->setText(QString::fromStdString(FormatMessage(
        "%s %s", {Text(m_setup.messages, "MSG0902"), std::string(fileName)})));
  if (auto* name = Control<QLabel>("FileName"))
    name->setText(QString::fromUtf8(fileName.data(), qsizetype(fileName.size())));
}

void CPreviewProcessWnd::RunJob() { RunPreviewJob(m_setup, *this, m_state); }

}  // namespace brinvale::ui
