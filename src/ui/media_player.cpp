#include "ui/media_player.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QPushButton>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace brinvale::ui {

CMediaPlayerWnd::CMediaPlayerWnd(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("PlayerWnd"));
  m_player = new QMediaPlayer(this);
  m_audio = new QAudioOutput(this);
  m_player->setAudioOutput(m_audio);
  m_video = new QVideoWidget(this);
  m_video->setObjectName(QStringLiteral("Video"));
  m_player->setVideoOutput(m_video);

  m_name = new QLabel(this);
  m_name->setObjectName(QStringLiteral("FileName"));
  m_playPause = new QPushButton(this);
  m_playPause->setObjectName(QStringLiteral("PlayPause"));
  m_position = new QSlider(Qt::Horizontal, this);
  m_position->setObjectName(QStringLiteral("Position"));

  auto* controls = new QHBoxLayout;
  controls->addWidget(m_playPause);
  controls->addWidget(m_position, 1);
  auto* box = new QVBoxLayout(this);
  box->addWidget(m_name);
  box->addWidget(m_video, 1);
  box->addLayout(controls);

  connect(m_playPause, &QPushButton::clicked, this, [this] {
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
      m_player->pause();
    else
      m_player->play();
  });
  connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this] { UpdateButton(); });
  connect(m_player, &QMediaPlayer::durationChanged, this,
          [this](qint64 ms) { m_position->setRange(0, int(std::min<qint64>(ms, INT_MAX))); });
  connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 ms) {
    if (!m_position->isSliderDown()) m_position->setValue(int(std::min<qint64>(ms, INT_MAX)));
  });
  connect(m_position, &QSlider::sliderMoved, this,
          [this](int ms) { m_player->setPosition(ms); });
  connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error) {
    if (error == QMediaPlayer::NoError || m_failed) return;
    m_failed = true;
    if (m_onFailure) m_onFailure();
  });
  UpdateButton();
}

CMediaPlayerWnd::~CMediaPlayerWnd() { m_player->stop(); }

void CMediaPlayerWnd::UpdateButton() {
  m_playPause->setText(m_player->playbackState() == QMediaPlayer::PlayingState
                           ? QStringLiteral("\u275A\u275A")
                           : QStringLiteral("\u25B6"));
}

bool CMediaPlayerWnd::Play(const QString& path, bool audio, const QString& title) {
  Stop();
  if (!QFileInfo(path).isFile()) return false;
  m_failed = false;
  m_name->setText(title);
  setWindowTitle(title);
  m_video->setVisible(!audio);
  resize(kWidth, audio ? kAudioHeight : kVideoHeight);
  m_position->setValue(0);
  m_player->setSource(QUrl::fromLocalFile(path));
  m_player->play();
  show();
  raise();
  return true;
}

void CMediaPlayerWnd::Stop() {
  m_player->stop();
  // The extracted file is deleted next: the player lets go of it.
  m_player->setSource(QUrl());
}

void CMediaPlayerWnd::closeEvent(QCloseEvent* event) {
  Stop();
  QWidget::closeEvent(event);
}

}  // namespace brinvale::ui
