#include "ui/create_image_process_wnd.h"

namespace brinvale::ui {
namespace {

constexpr ControlSpec kControls[] = {
    {"stage", ControlKind::kText},       {"percent", ControlKind::kText},
    {"time", ControlKind::kText},        {"progress", ControlKind::kProgress},
    {"sectors", ControlKind::kText},     {"closebtn", ControlKind::kButton},
    {"cancelbtn", ControlKind::kButton},
};

}  // namespace

// The image window shares the scan window's class name.
CCreateImageProcessWnd::CCreateImageProcessWnd(const UiContext& context, ImageJobSetup setup)
    : CProcessWnd(context, QStringLiteral("UIScanProcessWnd"),
                  QStringLiteral("xml\\CreateImageProcessWnd.xml"),
                  QStringLiteral("CreateImageWnd"), kControls, "MSG0306"),
      m_setup(std::move(setup)) {
  if (!m_setup.messages) m_setup.messages = context.Messages();
}

void CCreateImageProcessWnd::RunJob() { RunImageWindowJob(m_setup, *this, m_state); }

}  // namespace brinvale::ui
