#include "ui/search_process_wnd.h"

namespace brinvale::ui {
namespace {

constexpr ControlSpec kControls[] = {
    {"stage", ControlKind::kText},        {"percent", ControlKind::kText},
    {"progress", ControlKind::kProgress}, {"cancelbtn", ControlKind::kButton},
    {"closebtn", ControlKind::kButton},
};

}  // namespace

CSearchProcessWnd::CSearchProcessWnd(const UiContext& context, SearchJobSetup setup)
    : CProcessWnd(context, QStringLiteral("UISearchProcessWnd"),
                  QStringLiteral("xml\\SearchProcessWnd.xml"), QStringLiteral("SearchProcessWnd"),
                  kControls, "MSG1205"),
      m_setup(std::move(setup)) {
  if (!m_setup.messages) m_setup.messages = context.Messages();
}

void CSearchProcessWnd::RunJob() { RunSearchJob(m_setup, *this, m_state); }

void CSearchProcessWnd::AfterCancel(std::optional<int>) { CloseWith(int(CloseCode::kCancelled)); }

}  // namespace brinvale::ui
