#include "ui/popup_wnd.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "ui/skin_loader.h"

namespace brinvale::ui {
namespace {

// How far into the window a press still takes its border.
constexpr int kBorderPixels = 5;

}  // namespace

CPopUpWnd::CPopUpWnd(const UiContext& context, QString windowClassName, QString skinFile,
                     QString section, std::span<const ControlSpec> controls)
    : m_context(context),
      m_windowClassName(std::move(windowClassName)),
      m_skinFile(std::move(skinFile)),
      m_section(std::move(section)),
      m_controlSpecs(controls) {
  setObjectName(m_windowClassName);
}

CPopUpWnd::~CPopUpWnd() = default;

void CPopUpWnd::CreatePopUp(QWidget* owner, int width, int height) {
  setParent(owner, Qt::Dialog | Qt::FramelessWindowHint);
  setWindowTitle(QString());
  if (!m_form) {
    m_form = LoadSkinLayout(m_skinFile, this);
    if (m_form) {
      auto* box = new QVBoxLayout(this);
      box->setContentsMargins(0, 0, 0, 0);
      box->setSpacing(0);
      box->addWidget(m_form);
    }
    LookUpControls();
    InitWindow();
    WireButtons();
  }
  resize(width, height);
  m_initialSize = QSize(width, height);
  CenterWindow();
}

void CPopUpWnd::LookUpControls() {
  auto isKind = [](QWidget* widget, ControlKind kind) {
    switch (kind) {
      case ControlKind::kText: return qobject_cast<QLabel*>(widget) != nullptr;
      case ControlKind::kButton: return qobject_cast<QAbstractButton*>(widget) != nullptr;
      case ControlKind::kProgress: return qobject_cast<QProgressBar*>(widget) != nullptr;
      case ControlKind::kList: return qobject_cast<QTreeWidget*>(widget) != nullptr;
    }
    return false;
  };
  for (const ControlSpec& control : m_controlSpecs) {
    const QString name = QLatin1String(control.name);
    QWidget* widget = m_form ? m_form->findChild<QWidget*>(name) : nullptr;
    if (widget && isKind(widget, control.kind))
      m_controls.insert(name, widget);
    else
      m_missing << name;
  }
  if (QWidget* caption = m_form ? m_form->findChild<QWidget*>(QStringLiteral("caption")) : nullptr)
    m_controls.insert(QStringLiteral("caption"), caption);
  else
    m_missing << QStringLiteral("caption");
}

void CPopUpWnd::WireButtons() {
  if (!m_form) return;
  for (QAbstractButton* button : m_form->findChildren<QAbstractButton*>()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, button] { OnClick(button->objectName()); });
  }
}

int CPopUpWnd::ShowModal() {
  if (m_context.runModal) return m_context.runModal(*this);
  // The window's own loop rather than QDialog::exec, which ends as soon as
  // the window is hidden: a progress window hides around a question of its
  // job and goes on afterwards.
  setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  show();
  if (!m_closeCode) loop.exec(QEventLoop::DialogExec);
  return m_closeCode.value_or(int(QDialog::Rejected));
}

void CPopUpWnd::CloseWith(int code) {
  if (m_closeCode) return;
  if (m_holdClose) {
    if (!m_heldClose) m_heldClose = code;
    return;
  }
  m_closeCode = code;
  done(code);
}

std::optional<int> CPopUpWnd::ReleaseClose() {
  m_holdClose = false;
  return std::exchange(m_heldClose, std::nullopt);
}

void CPopUpWnd::ApplySection(std::string_view section) {
  m_context.texts.ApplySection(section, *this);
}

void CPopUpWnd::SetControlText(std::string_view control, std::string_view text) {
  if (!m_form) return;
  const QString name = QString::fromUtf8(control.data(), qsizetype(control.size()));
  const QString value = QString::fromUtf8(text.data(), qsizetype(text.size()));
  // The section's texts may name controls beyond the window's table
  // (button captions); those are found in the layout itself.
  QWidget* widget = m_controls.value(name);
  if (!widget) widget = m_form->findChild<QWidget*>(name);
  if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(value);
  else if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(value);
}

void CPopUpWnd::CenterWindow() {
  QRect area;
  if (QWidget* owner = parentWidget(); owner && owner->window()->isVisible())
    area = owner->window()->frameGeometry();
  else if (QScreen* s = screen())
    area = s->availableGeometry();
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

void CPopUpWnd::OnClick(const QString& name) {
  if (name == QLatin1String("closebtn") || name == QLatin1String("cancelbtn"))
    CloseWith(2);
  else if (name == QLatin1String("okbtn"))
    CloseWith(1);
}

void CPopUpWnd::OnWindowInit() { ApplySection(m_section.toStdString()); }

void CPopUpWnd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_initialised) return;
  m_initialised = true;
  OnWindowInit();
  emit windowInitialised();
}

// Escape and the system's close ask as the close button does.
void CPopUpWnd::reject() { OnClick(QStringLiteral("closebtn")); }

Qt::Edges CPopUpWnd::EdgesAt(const QPoint& pos) const {
  Qt::Edges edges;
  if (pos.x() < kBorderPixels) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - kBorderPixels) edges |= Qt::RightEdge;
  if (pos.y() < kBorderPixels) edges |= Qt::TopEdge;
  if (pos.y() >= height() - kBorderPixels) edges |= Qt::BottomEdge;
  return edges;
}

bool CPopUpWnd::OnCaption(const QPoint& pos) const {
  auto* caption = Control<QWidget>("caption");
  if (!caption || !caption->isVisible()) return false;
  return QRect(caption->mapTo(this, QPoint(0, 0)), caption->size()).contains(pos);
}

void CPopUpWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  const QPoint pos = event->position().toPoint();
  const Qt::Edges edges = m_sizable && !isMaximized() ? EdgesAt(pos) : Qt::Edges();
  QWindow* handle = windowHandle();
  if (edges) {
    if (handle && handle->startSystemResize(edges)) return;
    m_drag = Drag::kSize;
    m_dragEdges = edges;
  } else if (OnCaption(pos)) {
    if (handle && handle->startSystemMove()) return;
    m_drag = Drag::kMove;
  } else {
    return QDialog::mousePressEvent(event);
  }
  m_dragStart = event->globalPosition().toPoint();
  m_dragGeometry = geometry();
  event->accept();
}

void CPopUpWnd::mouseMoveEvent(QMouseEvent* event) {
  if (m_drag == Drag::kNone) return QDialog::mouseMoveEvent(event);
  const QPoint delta = event->globalPosition().toPoint() - m_dragStart;
  if (m_drag == Drag::kMove) {
    move(m_dragGeometry.topLeft() + delta);
    return;
  }
  QRect g = m_dragGeometry;
  const QSize least = minimumSizeHint().expandedTo(minimumSize()).expandedTo(QSize(100, 60));
  if (m_dragEdges & Qt::LeftEdge)
    g.setLeft(std::min(g.left() + delta.x(), g.right() - least.width()));
  if (m_dragEdges & Qt::RightEdge)
    g.setRight(std::max(g.right() + delta.x(), g.left() + least.width()));
  if (m_dragEdges & Qt::TopEdge)
    g.setTop(std::min(g.top() + delta.y(), g.bottom() - least.height()));
  if (m_dragEdges & Qt::BottomEdge)
    g.setBottom(std::max(g.bottom() + delta.y(), g.top() + least.height()));
  setGeometry(g);
}

void CPopUpWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (m_drag == Drag::kNone) return QDialog::mouseReleaseEvent(event);
  m_drag = Drag::kNone;
}

}  // namespace brinvale::ui
