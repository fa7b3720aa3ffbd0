#pragma once

#include <QString>
#include <QStringList>
#include <QUiLoader>

class QWidget;

namespace brinvale::ui {

// Builds windows from the skin's layouts: Qt's own widgets as the loader
// makes them, and the skin's custom controls (custom_controls.h) by their
// class names. Used on the interface thread.
class CSkinLoader : public QUiLoader {
  Q_OBJECT
 public:
  explicit CSkinLoader(QObject* parent = nullptr);

  QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                        const QString& name = QString()) override;

  // The class names of the custom controls this loader makes.
  static QStringList CustomControlNames();
};

// Makes sure the compiled skin resource is registered. Called before the
// first look-up of a skin file; safe to call more than once.
void InitSkinResource();

// The resource path of a skin file named from the skin's root as the
// windows name it ("xml\\ScanProcessWnd.xml", "menu_assist.xml",
// "FileIcon/folder.png"; "\\" or "/" between folders). A layout is kept as
// ".ui" in place of ".xml"; other files keep their names.
QString SkinPath(const QString& skinFile);

// Loads the layout of `skinFile` as a child of `parent`; null when the
// skin has no such layout or it cannot be read (not reported).
QWidget* LoadSkinLayout(const QString& skinFile, QWidget* parent);

}  // namespace brinvale::ui
