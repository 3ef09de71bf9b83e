// velmora: the desktop program.
#include <QApplication>
#include <QMessageBox>
#include <QSurfaceFormat>

#include "shell/qt/Velmora.h"
#include "shell/qt/gl_view.h"

int main(int argc, char** argv) {
  // A compatibility-profile surface with 24-bit colour and a depth buffer, for the
  // fixed-function drawing of every view; set before any widget exists.
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setVersion(2, 1);
  format.setRedBufferSize(8);
  format.setGreenBufferSize(8);
  format.setBlueBufferSize(8);
  format.setDepthBufferSize(24);
  format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  QSurfaceFormat::setDefaultFormat(format);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora"));
  QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

  velmora::MainWindow window;
  window.show();
  QApplication::processEvents();
  if (!window.view()->isValid()) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QStringLiteral("Error initializing application Velmora"));
    return 0;
  }
  return QApplication::exec();
}
