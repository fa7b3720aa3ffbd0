#include "ui/file_preview.h"

#include <QImage>
#include <QImageReader>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <system_error>

#include "app/message_format.h"
#include "common/error_codes.h"
#include "platform/text.h"
#include "preview/document_view_factory.h"
#include "preview/preview_text.h"
#include "ui/media_player.h"
#include "ui/message_box.h"
#include "ui/preview_process_wnd.h"

namespace brinvale::ui {
namespace {

constexpr int kInformationBox = 2;
// Pictures are decoded at most this large (a hostile header may claim
// any size); a bigger one is decoded scaled down.
constexpr int kMaxDecodedSide = 4096;
// Shown under "MSG0905" when a picture cannot be loaded.
const char* const kPictureFailure = "Can not preview the picture!";

QString ToQString(const std::filesystem::path& path) {
  return QString::fromStdString(platform::PathToUtf8(path));
}

}  // namespace

CFilePreview::CFilePreview(const UiContext& context, QWidget* owner, QTextBrowser* edit,
                           std::filesystem::path previewFolder, FilePreviewServices services)
    : QObject(owner),
      m_context(context),
      m_owner(owner),
      m_edit(edit),
      m_folder(std::move(previewFolder)),
      m_services(std::move(services)) {
  if (m_services.views.scanLogFolder.empty()) m_services.views.scanLogFolder = m_folder;
}

CFilePreview::~CFilePreview() {
  if (m_player) m_player->Stop();
  m_player.reset();
  std::error_code ec;
  if (!m_state.extractedPath.empty()) std::filesystem::remove(m_state.extractedPath, ec);
  std::filesystem::remove(m_services.views.scanLogFolder / "tmp.jpg", ec);
}

QString CFilePreview::Message(const char* key) const {
  return QString::fromStdString(m_context.texts.Text("Messages", key));
}

void CFilePreview::ShowText(const QString& text) {
  if (!m_edit) return;
  // New text takes the control's current format, which a picture before
  // may have left as its own.
  m_edit->clear();
  m_edit->setCurrentCharFormat(QTextCharFormat());
  m_edit->setPlainText(text);
}

void CFilePreview::Show(const ScanRecord& record, const std::vector<ScanSource*>& sources) {
  if (m_edit) m_edit->clear();
  if (record.IsFolder()) {
    ShowText(Message("MSG0904"));
    return;
  }
  // The player lets go of the file that the next extraction replaces.
  if (m_player) m_player->Stop();
  PreviewJobSetup setup;
  setup.record = record;
  setup.sources = sources;
  setup.state = &m_state;
  setup.mediaWait = m_services.mediaWait;
  setup.messages = m_context.Messages();
  int code = 0;
  {
    CPreviewProcessWnd window(m_context, std::move(setup));
    window.CreatePopUp(m_owner, CPreviewProcessWnd::kWidth, CPreviewProcessWnd::kHeight);
    code = window.ShowModal();
  }
  if (code == int(CloseCode::kDone)) ShowResult();
}

void CFilePreview::ShowResult() {
  const PreviewKind& kind = m_state.kind;
  const bool extracted = !m_state.extractedPath.empty();
  if (kind.isMedia && extracted) {
    ShowMedia();
  } else if (kind.isDocument && kind.view != DocumentViewKind::kNone && extracted) {
    ShowDocument();
  } else if (extracted) {
    if (!ShowPicture(m_state.extractedPath)) ShowPictureFailure();
  } else {
    ShowText(preview::BytesAsText(m_state.text));
  }
}

void CFilePreview::ShowMedia() {
  if (!m_player) {
    if (m_services.makePlayer)
      m_player = m_services.makePlayer();
    else
      m_player = std::make_unique<CMediaPlayerWnd>();
    m_player->SetFailureHandler([this] {
      ShowMessage(m_context, kInformationBox, m_owner, m_context.texts.Text("Messages", "MSG1207"));
    });
  }
  const std::string_view name = m_state.record.Name();
  if (!m_player->Play(ToQString(m_state.extractedPath), m_state.kind.useAudioPlayer,
                      QString::fromUtf8(name.data(), qsizetype(name.size()))))
    ShowMessage(m_context, kInformationBox, m_owner, m_context.texts.Text("Messages", "MSG1207"));
}

void CFilePreview::ShowDocument() {
  std::unique_ptr<preview::IDocumentView> view =
      preview::MakeDocumentView(m_state.kind.view, m_services.views);
  QString text;
  std::filesystem::path picture;
  const int rc = view ? view->Convert(m_state.extractedPath, text, picture) : kErrInvalidParameter;
  if (m_state.kind.isPdf) {
    // A page that poppler cannot draw is a picture that cannot be shown.
    if (rc != kOk || !ShowPicture(picture)) ShowPictureFailure();
    return;
  }
  if (rc == kOk)
    ShowText(text);
  else
    ShowText(preview::FileHeadText(m_state.extractedPath));
}

bool CFilePreview::ShowPicture(const std::filesystem::path& path) {
  if (path.empty()) return false;
  QImageReader reader(ToQString(path));
  reader.setAutoTransform(true);
  const QSize claimed = reader.size();
  if (claimed.isValid() &&
      (claimed.width() > kMaxDecodedSide || claimed.height() > kMaxDecodedSide))
    reader.setScaledSize(claimed.scaled(kMaxDecodedSide, kMaxDecodedSide, Qt::KeepAspectRatio));
  QImage image = reader.read();
  if (image.isNull()) return false;
  if (!m_edit) return true;
  // Scaled to fit the control, never enlarged.
  const int margin = 2 * int(m_edit->document()->documentMargin()) + 4;
  const QSize room(std::max(32, m_edit->viewport()->width() - margin),
                   std::max(32, m_edit->viewport()->height() - margin));
  if (image.width() > room.width() || image.height() > room.height())
    image = image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  const QUrl name(QStringLiteral("preview://picture/%1").arg(++m_pictures));
  m_edit->clear();
  m_edit->document()->addResource(QTextDocument::ImageResource, name, image);
  QTextCursor cursor(m_edit->document());
  cursor.insertImage(name.toString());
  return true;
}

void CFilePreview::ShowPictureFailure() {
  ShowText(Message("MSG0905") + QLatin1Char('\n') + QLatin1String(kPictureFailure));
}

}  // namespace brinvale::ui
