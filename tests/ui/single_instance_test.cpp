#include "ui/single_instance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QWidget>

#include "support/fixture_path.h"

namespace brinvale::ui {
namespace {

QString Runtime(const char* name) {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(name);
}

// A second instance answers the question on a thread of its own, while the
// first one's event loop runs here.
bool AskFromAnotherInstance(CSingleInstance& later) {
  bool shown = false;
  std::unique_ptr<QThread> asker(QThread::create([&] { shown = later.AskFirstToShow(5000); }));
  asker->start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return asker->isFinished(); }, 10000));
  asker->wait();
  return shown;
}

TEST(SingleInstance, TheSecondIsRefusedAndBringsTheFirstsWindowForward) {
  brinvale::test::TempDir data("ui_single_instance");
  const QString lock = QString::fromStdString((data.Path() / "sub" / "brinvale.lock").string());
  CSingleInstance first(lock, Runtime("one.socket"));
  ASSERT_TRUE(first.Acquire()) << "the data folder is made when missing";
  EXPECT_TRUE(QFileInfo::exists(lock));

  QWidget window;
  window.showMinimized();
  first.SetWindow(&window);
  int requests = 0;
  QObject::connect(&first, &CSingleInstance::showRequested, [&] { ++requests; });

  CSingleInstance second(lock, Runtime("one.socket"));
  EXPECT_FALSE(second.Acquire());
  EXPECT_TRUE(AskFromAnotherInstance(second));
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
}

TEST(SingleInstance, AFirstWithoutAWindowSaysSo) {
  brinvale::test::TempDir data("ui_single_instance_none");
  const QString lock = QString::fromStdString((data.Path() / "brinvale.lock").string());
  CSingleInstance first(lock, Runtime("two.socket"));
  ASSERT_TRUE(first.Acquire());
  CSingleInstance second(lock, Runtime("two.socket"));
  EXPECT_FALSE(second.Acquire());
  EXPECT_FALSE(AskFromAnotherInstance(second));
}

TEST(SingleInstance, NoAnswerWithoutAFirstInstance) {
  brinvale::test::TempDir data("ui_single_instance_gone");
  CSingleInstance alone(QString::fromStdString((data.Path() / "brinvale.lock").string()),
                        Runtime("three.socket"));
  EXPECT_FALSE(alone.AskFirstToShow(500));
}

// The lock of an instance that is gone is taken over, and so is its socket.
TEST(SingleInstance, ALockLeftByAnEndedInstanceIsTakenOver) {
  brinvale::test::TempDir data("ui_single_instance_stale");
  const QString lock = QString::fromStdString((data.Path() / "brinvale.lock").string());
  {
    CSingleInstance ended(lock, Runtime("four.socket"));
    ASSERT_TRUE(ended.Acquire());
  }
  CSingleInstance next(lock, Runtime("four.socket"));
  EXPECT_TRUE(next.Acquire());
}

// The program itself: a second start while the first runs ends on its own,
// without a window of its own and without a message (the first one has its
// window), and leaves the first running.
TEST(DesktopProgram, ASecondStartEndsAndLeavesTheFirstRunning) {
  QProcess first;
  first.setProcessChannelMode(QProcess::ForwardedChannels);
  first.start(BRINVALE_DESKTOP_PATH, {});
  ASSERT_TRUE(first.waitForStarted(10000));
  const QString socket = DefaultInstanceServerName();
  QElapsedTimer clock;
  clock.start();
  while (!QFileInfo::exists(socket) && clock.elapsed() < 30000) QTest::qWait(50);
  ASSERT_TRUE(QFileInfo::exists(socket)) << socket.toStdString();

  QProcess second;
  second.setProcessChannelMode(QProcess::ForwardedChannels);
  second.start(BRINVALE_DESKTOP_PATH, {});
  ASSERT_TRUE(second.waitForStarted(10000));
  ASSERT_TRUE(second.waitForFinished(30000)) << "a second instance that waits for nothing ends";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  if (!first.waitForFinished(10000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

}  // namespace
}  // namespace brinvale::ui
