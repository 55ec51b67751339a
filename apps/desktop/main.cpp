// vesk-desktop: plays a VESK recording (a file or a live http:// stream) in a
// window, with its sound.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "apps/desktop/player_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = application.arguments();
  if (arguments.size() != 2 || arguments[1].startsWith(QLatin1Char('-'))) {
    std::fputs("usage: vesk-desktop RECORDING\n"
               "Plays a VESK recording (a file or an http:// URL) in a window.\n"
               "Keys: 0 all cameras, 1-4 one camera, space pause, left/right the previous/next index position\n"
               "(with shift: index stepping), a next activity, s snapshot, r record, m mute,\n"
               "t/f/b time, frames and bytes per second, p properties, F full screen, q quit.\n",
               arguments.size() == 2 ? stdout : stderr);
    return arguments.size() == 2 && arguments[1] == QLatin1String("--help") ? 0 : 2;
  }
  QString error;
  auto window = vesk::desktop::PlayerWindow::Open(arguments[1].toStdString(), &error);
  if (!window) {
    std::fprintf(stderr, "vesk-desktop: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  window->show();
  return application.exec();
}
