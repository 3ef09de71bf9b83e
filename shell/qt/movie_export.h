// File > Export Movie: the movie made on a worker thread (its own headless context), driven by
// a progress dialog whose Cancel stops it with nothing left under the movie's name.
#pragma once

#include "display/gl/movie.h"

class QWidget;

namespace velmora {

// How an export ended: the check of the request and recording, and (when it passed) the movie.
struct MovieExportEnd {
  MoviePlan plan;
  MovieResult result;
};

// Checks the request and makes the movie while a modal progress dialog shows the frames read and
// then encoded; Cancel stops either (plan.kind Stopped, or result.end Cancelled).
MovieExportEnd runMovieExport(QWidget* owner, const MovieRequest& request);

}  // namespace velmora
