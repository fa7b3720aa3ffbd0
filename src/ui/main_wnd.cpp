#include "ui/main_wnd.h"

#include <QIcon>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/skin_loader.h"

namespace brinvale::ui {

CMainWnd::CMainWnd(const UiContext& context) : m_context(context) {
  setObjectName(QStringLiteral("RidiRedazuvoWnd"));
  setWindowTitle(QStringLiteral("Free Brinvale"));
  InitSkinResource();
  setWindowIcon(QIcon(SkinPath(QStringLiteral("logo.png"))));
  m_form = LoadSkinLayout(QStringLiteral("xml\\skin.xml"), this);
  if (m_form) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_form);
  }
  resize(kWidth, kHeight);
}

void CMainWnd::CenterOnScreen() {
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

}  // namespace brinvale::ui
