// Export Movie: writeMovie on a std::thread, a QProgressDialog polled by a timer.
#include "shell/qt/movie_export.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

namespace velmora {

MovieResult runMovieExport(QWidget* owner, const MovieSpec& spec, const MoviePlan& plan) {
  const QString name = QFileInfo(QString::fromStdString(spec.out)).fileName();
  const auto total = static_cast<int>(plan.frames());
  QProgressDialog dialog(QStringLiteral("Writing %1: %2 frames...").arg(name).arg(total), QStringLiteral("Cancel"), 0,
                         total, owner);
  dialog.setObjectName(QStringLiteral("movieProgress"));
  dialog.setWindowTitle(QStringLiteral("Export Movie"));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);

  // The worker draws into its own context on its own thread, so the window's context and its
  // repaints are left alone; the two share nothing but these flags.
  std::atomic<long long> done{0};
  std::atomic<bool> cancel{false}, finished{false};
  MovieResult result;
  std::thread worker([&] {
    result = writeMovie(spec, plan, [&](long long d, long long) {
      done = d;
      return !cancel.load();
    });
    finished = true;
  });

  QEventLoop loop;
  QTimer timer;
  timer.setInterval(40);
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    if (finished.load()) {
      loop.quit();
      return;
    }
    if (!cancel.load()) dialog.setValue(static_cast<int>(done.load()));
  });
  QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
    cancel = true;
    dialog.setLabelText(QStringLiteral("Stopping..."));
  });
  dialog.show();
  timer.start();
  loop.exec();
  worker.join();
  return result;
}

}  // namespace velmora
