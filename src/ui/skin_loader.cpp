#include "ui/skin_loader.h"

#include <QFile>
#include <QWidget>

#include "ui/custom_controls.h"

// Q_INIT_RESOURCE names a function of the global namespace.
static void InitSkinResourceOnce() { Q_INIT_RESOURCE(skin); }

namespace brinvale::ui {
namespace {

template <typename Control>
QWidget* Make(QWidget* parent) {
  return new Control(parent);
}

struct CustomControl {
  const char* className;
  QWidget* (*make)(QWidget* parent);
};

// clang-format off
constexpr CustomControl kCustomControls[] = {
    {"CDiskListUI", Make<CDiskListUI>},
    {"CFileTreeUI", Make<CFileTreeUI>},
    {"CListExUI",   Make<CListExUI>},
    {"CButtonExUI", Make<CButtonExUI>},
    {"Pagination",  Make<Pagination>},
};
// clang-format on

}  // namespace

CSkinLoader::CSkinLoader(QObject* parent) : QUiLoader(parent) {}

QWidget* CSkinLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
  for (const CustomControl& control : kCustomControls) {
    if (className == QLatin1String(control.className)) {
      QWidget* widget = control.make(parent);
      widget->setObjectName(name);
      return widget;
    }
  }
  return QUiLoader::createWidget(className, parent, name);
}

QStringList CSkinLoader::CustomControlNames() {
  QStringList names;
  for (const CustomControl& control : kCustomControls) names << QLatin1String(control.className);
  return names;
}

void InitSkinResource() {
  static const bool done = (InitSkinResourceOnce(), true);
  (void)done;
}

QString SkinPath(const QString& skinFile) {
  QString relative = skinFile;
  relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (relative.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
    relative = relative.left(relative.size() - 4) + QLatin1String(".ui");
  return QLatin1String(":/skin/") + relative;
}

QWidget* LoadSkinLayout(const QString& skinFile, QWidget* parent) {
  InitSkinResource();
  QFile file(SkinPath(skinFile));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  CSkinLoader loader;
  return loader.load(&file, parent);
}

}  // namespace brinvale::ui
