// The desktop player driven as a user drives it, under a virtual X server:
// keys, the seek commands, the property page and its configuration dialog.
// With VESK_SCREENSHOTS naming a folder, each stop is also photographed there
// (scripts/desktop-screenshots.sh).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "apps/desktop/player_window.h"
#include "mkrec/recording_composer.h"
#include "xvfb_display.h"

namespace vesk::desktop {
namespace {

using namespace std::chrono_literals;

testing::XvfbDisplay* display = nullptr;

constexpr std::uint32_t kSeconds = 20;
constexpr int kActiveCamera = 2;
constexpr std::uint32_t kActiveSecond = 12;  // camera 2 sees something in seconds 12 and 13 only

std::string Recording() {
  static const std::string path = [] {
    const std::string file = (std::filesystem::temp_directory_path() /
                              ("desktop-test-" + std::to_string(::getpid()) + ".vsk")).string();
    mkrec::RecordingPlan plan;
    plan.startTime = 1796169600;
    plan.durationSeconds = kSeconds;
    for (std::uint8_t slot = 0; slot < 4; ++slot) plan.cameras.push_back({slot, 176, 144, "", ""});
    plan.audio.push_back({});
    plan.status->activity = [](std::uint8_t channel, std::uint32_t second) -> std::uint8_t {
      return channel == kActiveCamera && (second == kActiveSecond || second == kActiveSecond + 1) ? 7 : 0;
    };
    mkrec::FileSink sink(file);
    mkrec::StreamWriter writer(sink);
    EXPECT_TRUE(mkrec::RecordingComposer(plan).Write(writer).ok());
    EXPECT_TRUE(sink.Close());
    return file;
  }();
  return path;
}

void Shoot(const char* name) {
  const char* folder = std::getenv("VESK_SCREENSHOTS");
  if (!folder) return;
  QTest::qWait(300);  // the paint reaches the server
  const std::string command = std::string("import -window root '") + folder + "/" + name + ".png'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

QAbstractButton* Button(QWidget* parent, const char* text) {
  for (auto* button : parent->findChildren<QAbstractButton*>())
    if (button->text() == QLatin1String(text)) return button;
  ADD_FAILURE() << "no button " << text;
  return nullptr;
}

class DesktopWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!display->Ready()) GTEST_SKIP() << display->Failure();
    QString error;
    window_ = PlayerWindow::Open(Recording(), &error);
    ASSERT_TRUE(window_) << error.toStdString();
    window_->move(0, 0);
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session().Frames().Published() >= 3; }, 10000)) << "no pictures";
  }
  void TearDown() override { window_.reset(); }

  DesktopSession& session() { return window_->Session(); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window_.get(), static_cast<Qt::Key>(key), modifiers);
  }
  long Position() { return std::lround(session().PositionSeconds()); }
  // The first position the reading reports after `from`.
  long NextPosition(long from) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return Position() != from; }, 5000)) << "the position stays at " << from;
    return Position();
  }

  std::unique_ptr<PlayerWindow> window_;
};

TEST_F(DesktopWindowTest, KeysSwitchCamerasPauseStepAndJumpToTheNextActivity) {
  Shoot("window-grid");
  Key(Qt::Key_0 + kActiveCamera + 1);
  EXPECT_EQ(session().Settings().GetActiveCamera(), kActiveCamera);
  const long shown = session().Frames().Published();
  ASSERT_TRUE(QTest::qWaitFor([&] { return session().Frames().Published() > shown + 2; }, 5000));
  Shoot("window-one-camera");
  Key(Qt::Key_0);
  EXPECT_EQ(session().Settings().GetActiveCamera(), -1);

  Key(Qt::Key_Space);
  ASSERT_TRUE(session().Paused());
  QTest::qWait(300);
  const long paused = Position();
  // Each step lands on its index position; the reading may pass it before a
  // picture is held, so the position is waited for rather than its first change.
  Key(Qt::Key_Right);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Position() == paused + 1; }, 5000)) << Position();
  Key(Qt::Key_Left);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Position() == paused; }, 5000)) << Position();
  Key(Qt::Key_Space);
  ASSERT_FALSE(session().Paused());

  // The seek lands on the index position whose activity FindActivity named.
  const long before = Position();
  ASSERT_LT(before, static_cast<long>(kActiveSecond));
  Key(Qt::Key_A);
  EXPECT_EQ(NextPosition(before), static_cast<long>(kActiveSecond));
  Key(Qt::Key_A);  // camera 2's activity of second 13 is the last
  const long after = session().Frames().Published();
  EXPECT_TRUE(QTest::qWaitFor([&] { return session().Frames().Published() > after + 5; }, 5000)) << "playing stopped";
  EXPECT_LE(Position(), static_cast<long>(kActiveSecond) + 3);
}

TEST_F(DesktopWindowTest, PropertyPageChangesTheModuleAndSavesItsSettings) {
  Key(Qt::Key_P);
  PropertyFrame* frame = window_->Properties();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("ZEZ Ezizov Uzodir Iduzavadiz"));
  QWidget* page = frame->Page();
  ISplitterSettings& settings = session().Settings();

  LONG fps = 0;
  settings.ShowFpsOp(OptionRead, &fps);
  QTest::mouseClick(Button(page, "Show Frames per second"), Qt::LeftButton);
  LONG changed = 0;
  settings.ShowFpsOp(OptionRead, &changed);
  EXPECT_EQ(changed, fps ? 0 : 1);

  // The bars come in template order: sharpness, brightness, smooth, contrast.
  const auto bars = page->findChildren<QScrollBar*>();
  ASSERT_EQ(bars.size(), 4);
  if (!bars[1]->isEnabled()) QTest::mouseClick(Button(page, "Show settings 2"), Qt::LeftButton);
  ASSERT_TRUE(bars[1]->isEnabled());
  const LONG brightness = settings.GetBrightness();
  bars[1]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(settings.GetBrightness(), brightness + 1);
  EXPECT_EQ(bars[1]->value(), brightness + 1 + 100);
  // A drag that is not released changes nothing, and the thumb goes back.
  bars[1]->setSliderPosition(10);
  EXPECT_EQ(settings.GetBrightness(), brightness + 1);
  Shoot("property-page");

  QString report;
  QTimer::singleShot(500, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* text = modal->findChild<QPlainTextEdit*>()) report = text->toPlainText();
    Shoot("configuration");
    QTest::mouseClick(Button(modal, "OK"), Qt::LeftButton);
  });
  QTest::mouseClick(Button(page, "Show config"), Qt::LeftButton);
  EXPECT_TRUE(report.contains(QStringLiteral("Frames Per Second"))) << report.toStdString();

  QTest::mouseClick(frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Properties() == nullptr; }, 5000));
  std::ifstream store(std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "vesk" / "registry.reg");
  std::stringstream saved;
  saved << store.rdbuf();
  char expected[64];
  std::snprintf(expected, sizeof expected, "\"bShowFPS\"=dword:%08x", static_cast<unsigned>(changed));
  EXPECT_NE(saved.str().find(expected), std::string::npos) << saved.str();
  EXPECT_NE(saved.str().find("\"bShowBrightness\"=dword:00000001"), std::string::npos) << saved.str();
}

}  // namespace
}  // namespace vesk::desktop

#if defined(__SANITIZE_ADDRESS__)
// libdbus, which Qt's X platform plugin uses, keeps one allocation for the
// life of the process; the report holds no frame of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
#endif

#if defined(__SANITIZE_THREAD__)
// Qt and the libraries under it are not instrumented, so ThreadSanitizer
// cannot see their locks: what these libraries do themselves (their threads'
// allocations, copies and descriptors, xcb's mutexes) is not tracked, and
// nor are the calls our threads hand one another through Qt's event queues,
// all made by PostTo and deleted by Qt's event. Every other access of our
// own code is.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6DBus.so.6\n"
         "called_from_lib:libQt6XcbQpa.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "mutex:libxcb.so.1\n"
         "race:apps/desktop/post_to.h\n"
         "race:QMetaCallEvent::~QMetaCallEvent\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  vesk::desktop::testing::XvfbDisplay display;
  vesk::desktop::display = &display;
  if (!display.Ready()) {
    std::fprintf(stderr, "desktop tests skipped: %s\n", display.Failure().c_str());
    return RUN_ALL_TESTS();
  }
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  ::setenv("VESK_SOUND", "none", 1);  // the sound is drained at its pace, not played
  QApplication application(argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove(vesk::desktop::Recording());
  return result;
}
