// Export Movie: writeMovie on a std::thread, a QProgressDialog polled by a timer.
#include "shell/qt/movie_export.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

namespace velmora {

MovieExportEnd runMovieExport(QWidget* owner, const MovieRequest& request) {
  const QString recording = QFileInfo(QString::fromStdString(request.recording)).fileName();
  const QString name = QFileInfo(QString::fromStdString(request.out)).fileName();
  QProgressDialog dialog(QStringLiteral("Reading %1...").arg(recording), QStringLiteral("Cancel"), 0, 0, owner);
  dialog.setObjectName(QStringLiteral("movieProgress"));
  dialog.setWindowTitle(QStringLiteral("Export Movie"));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);

  // The worker reads and draws with its own context on its own thread, so the window's context
  // and its repaints are left alone; the two share nothing but these counters and flags.
  std::atomic<long long> done{0}, total{0};
  std::atomic<bool> writing{false}, cancel{false}, finished{false};
  MovieExportEnd end;
  std::thread worker([&] {
    end.plan = planMovie(request, [&](long long, long long) { return !cancel.load(); });
    if (end.plan.kind == MoviePlan::Ready) {
      total = end.plan.frames();
      writing = true;
      end.result = writeMovie(request, end.plan, [&](long long d, long long) {
        done = d;
        return !cancel.load();
      });
    }
    finished = true;
  });

  QEventLoop loop;
  QTimer timer;
  timer.setInterval(40);
  bool shownWriting = false;
  QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
    if (finished.load()) {
      loop.quit();
      return;
    }
    if (cancel.load() || !writing.load()) return;
    if (!shownWriting) {
      shownWriting = true;
      dialog.setLabelText(QStringLiteral("Writing %1: %2 frames...").arg(name).arg(total.load()));
      dialog.setMaximum(static_cast<int>(total.load()));
    }
    dialog.setValue(static_cast<int>(done.load()));
  });
  QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
    cancel = true;
    dialog.setLabelText(QStringLiteral("Stopping..."));
  });
  dialog.show();
  timer.start();
  loop.exec();
  worker.join();
  return end;
}

}  // namespace velmora
