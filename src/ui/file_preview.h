#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/preview_job.h"
#include "preview/document_view.h"
#include "ui/ui_context.h"

class QTextBrowser;
class QWidget;

namespace brinvale::ui {

class IMediaPlayer;

// What a preview works with besides its texts; every part may be left
// empty for the running system's own.
struct FilePreviewServices {
  // The player of audio and video; empty: a CMediaPlayerWnd.
  std::function<std::unique_ptr<IMediaPlayer>()> makePlayer;
  // The document views' folder and converter; an empty folder: the
  // window's preview folder.
  preview::DocumentViewSettings views;
  // The pause between stopping a player and extracting the next media file.
  std::chrono::milliseconds mediaWait{1000};
};

// The preview of found files in the main window: a folder says that it has
// no preview, a file is copied out by its engine behind the preview window
// and then shown in the rich-text control: pictures (and a PDF's first
// page) inline, scaled to fit; documents as their text; archives as their
// listing; other data as text. Audio and video play in the player. The
// file copied last is deleted before the next copy and when the preview
// goes. Interface thread only.
class CFilePreview : public QObject {
  Q_OBJECT
 public:
  // Borrows `context`, `owner` and `edit` (null: nothing is shown).
  CFilePreview(const UiContext& context, QWidget* owner, QTextBrowser* edit,
               std::filesystem::path previewFolder, FilePreviewServices services);
  ~CFilePreview() override;

  // Previews `record`, whose engine is found among `sources`.
  void Show(const ScanRecord& record, const std::vector<ScanSource*>& sources);

  const PreviewState& State() const { return m_state; }
  // The player, once one has been made.
  IMediaPlayer* Player() const { return m_player.get(); }

 private:
  void ShowResult();
  void ShowMedia();
  void ShowDocument();
  // Inserts the picture at `path` scaled to fit; false when it cannot be
  // loaded.
  bool ShowPicture(const std::filesystem::path& path);
  void ShowPictureFailure();
  void ShowText(const QString& text);
  QString Message(const char* key) const;

  const UiContext& m_context;
  QWidget* m_owner;
  QTextBrowser* m_edit;
  std::filesystem::path m_folder;
  FilePreviewServices m_services;
  PreviewState m_state;
  std::unique_ptr<IMediaPlayer> m_player;
  int m_pictures = 0;  // names the document resources apart
};

}  // namespace brinvale::ui
