#include "ui/message_box.h"

#include <QLabel>

namespace brinvale::ui {
namespace {

constexpr ControlSpec kControls[] = {
    {"title", ControlKind::kText},      {"message", ControlKind::kText},
    {"okbtn", ControlKind::kButton},    {"cancelbtn", ControlKind::kButton},
    {"closebtn", ControlKind::kButton},
};

QString LayoutOf(int kind) {
  const std::string_view file = MessageBoxStyleOf(kind).skinFile;
  return QLatin1String("xml\\") + QString::fromUtf8(file.data(), qsizetype(file.size()));
}

}  // namespace

CMessageBox::CMessageBox(const UiContext& context, int kind, QString text)
    : CPopUpWnd(context, QStringLiteral("UIMessageBox"), LayoutOf(kind),
                QStringLiteral("MessageBox"), kControls),
      m_style(MessageBoxStyleOf(kind)),
      m_text(std::move(text)) {}

void CMessageBox::InitWindow() {
  if (auto* title = Control<QLabel>("title"))
    title->setText(QString::fromStdString(Context().texts.Text("Messages", m_style.titleKey)));
  if (auto* message = Control<QLabel>("message")) message->setText(m_text);
}

int ShowMessage(const UiContext& context, int kind, QWidget* owner, const std::string& text) {
  CMessageBox box(context, kind, QString::fromStdString(text));
  box.CreatePopUp(owner, CMessageBox::kWidth, CMessageBox::kHeight);
  return box.ShowModal();
}

}  // namespace brinvale::ui
