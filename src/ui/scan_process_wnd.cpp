#include "ui/scan_process_wnd.h"

namespace brinvale::ui {
namespace {

constexpr ControlSpec kControls[] = {
    {"stage", ControlKind::kText},      {"percent", ControlKind::kText},
    {"time", ControlKind::kText},       {"progress", ControlKind::kProgress},
    {"sectors", ControlKind::kText},    {"totalfile", ControlKind::kText},
    {"closebtn", ControlKind::kButton}, {"cancelbtn", ControlKind::kButton},
};

}  // namespace

CScanProcessWnd::CScanProcessWnd(const UiContext& context, ScanJobSetup setup)
    : CProcessWnd(context, QStringLiteral("UIScanProcessWnd"),
                  QStringLiteral("xml\\ScanProcessWnd.xml"), QStringLiteral("ScanWnd"), kControls,
                  "MSG0709"),
      m_setup(std::move(setup)) {
  if (!m_setup.messages) m_setup.messages = context.Messages();
}

void CScanProcessWnd::RunJob() { RunScanJob(m_setup, *this, m_state); }

}  // namespace brinvale::ui
