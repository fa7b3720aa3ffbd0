#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QPushButton;
class QSlider;
class QVideoWidget;

namespace brinvale::ui {

// What the preview needs of a player: play one file, stop. Interface
// thread only.
class IMediaPlayer {
 public:
  // Plays `path` (`audio`: sound only, no picture), with `title` shown.
  // False when it cannot even start; a failure later goes to the handler.
  virtual bool Play(const QString& path, bool audio, const QString& title) = 0;
  // Stops playing and lets go of the file; nothing when idle.
  virtual void Stop() = 0;
  // Called once when playing fails after it started.
  virtual void SetFailureHandler(std::function<void()> handler) = 0;
  virtual ~IMediaPlayer() = default;
};

// The preview's player: a small top-level window with the file's name, the
// picture of a video, a play/pause button and a position bar, over Qt
// Multimedia (GStreamer on Linux). Needs no sound device to be made.
class CMediaPlayerWnd : public QWidget, public IMediaPlayer {
  Q_OBJECT
 public:
  static constexpr int kWidth = 480;
  static constexpr int kVideoHeight = 320;
  static constexpr int kAudioHeight = 90;

  explicit CMediaPlayerWnd(QWidget* parent = nullptr);
  ~CMediaPlayerWnd() override;

  bool Play(const QString& path, bool audio, const QString& title) override;
  void Stop() override;
  void SetFailureHandler(std::function<void()> handler) override {
    m_onFailure = std::move(handler);
  }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateButton();

  QMediaPlayer* m_player = nullptr;
  QAudioOutput* m_audio = nullptr;
  QVideoWidget* m_video = nullptr;
  QLabel* m_name = nullptr;
  QPushButton* m_playPause = nullptr;
  QSlider* m_position = nullptr;
  std::function<void()> m_onFailure;
  bool m_failed = false;
};

}  // namespace brinvale::ui
