// File > Export Movie: the movie made on a worker thread (its own headless context), driven by
// a progress dialog whose Cancel stops it with nothing left under the movie's name.
#pragma once

#include "display/gl/movie.h"

class QWidget;

namespace velmora {

// Makes the planned movie while a modal progress dialog shows the frames done; returns how it
// ended (Cancelled when the dialog's Cancel was pressed before the last frame).
MovieResult runMovieExport(QWidget* owner, const MovieSpec& spec, const MoviePlan& plan);

}  // namespace velmora
