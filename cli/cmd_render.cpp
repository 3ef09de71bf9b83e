// velmora-cli render: the program's views drawn without a window, saved as PNG.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/fits/obs_fits.h"
#include "analysis/run_analysis.h"
#include "cli/cmd_render_movie.h"
#include "cli/progress_meter.h"
#include "cli/recorded_frame.h"
#include "cli/registry.h"
#include "display/gl/headless_surface.h"
#include "display/gl/view.h"
#include "files/lightcurve.h"
#include "io/data_files.h"
#include "io/file_error.h"

namespace velmora::cli {
namespace {

const char* kCmd = "render";

// The client size of the drawing window (the program's window is 650 x 730).
struct Size {
  int width = 650, height = 730;
};

void addSize(CLI::App* app, Size& s) {
  app->add_option("--width", s.width, "Width of the window's drawing area in pixels (16..8192)")->capture_default_str();
  app->add_option("--height", s.height, "Height of the window's drawing area in pixels (16..8192)")
      ->capture_default_str();
}

bool sizeOk(const std::string& cmd, const Size& s) {
  return inRange(cmd, "--width", s.width, 16, 8192, 0) && inRange(cmd, "--height", s.height, 16, 8192, 0);
}

std::string programDir() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return std::filesystem::path(buf).parent_path().string();
}

// What a drawing came to: whether there is a picture to save, and the exit code.
struct Drawn {
  bool save = true;
  int code = EXIT_OK;
};

// Draws with a fresh window-sized surface and saves the picture. Returns the exit code.
template <class Draw>
int drawAndSave(const std::string& cmd, const Size& size, const std::string& out, Draw draw) {
  try {
    HeadlessSurface surface(size.width, size.height);
    View view({}, [&cmd](const std::string& m) { std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), m.c_str()); });
    view.initialize();
    view.resize(size.width, size.height);
    const Drawn d = draw(view);
    if (d.save) surface.savePng(out);
    return d.code;
  } catch (const HeadlessError& e) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), e.what());
    return EXIT_FAILED;
  }
}

struct Options {
  Size size;
  std::string out;
  std::string file;
  I32 first = 0, last = 0;
  long long frame = 0;
  std::string angles = "0,0", style = "filled", colour = "density", pointSize = "small";
};

CLI::App* addTitle(CLI::App* render, Options& o) {
  CLI::App* app = render->add_subcommand(
      "title", "The title scene: the program's name above the start-up scene (\"Auxillary Files/startup\", looked "
               "for below the current directory, then in the installed data folder)");
  addSize(app, o.size);
  app->add_option("--out", o.out, "PNG file to write")->required();
  return app;
}

int runTitle(const Options& o) {
  const std::string cmd = "render title";
  if (!sizeOk(cmd, o.size)) return EXIT_USAGE;
  const std::string start = findDataFile(std::filesystem::current_path().string(), programDir(), "startup");
  return drawAndSave(cmd, o.size, o.out, [&](View& v) {
    v.setStartFile(start);
    v.drawScene();
    return Drawn{};
  });
}

CLI::App* addLightCurve(CLI::App* render, Options& o) {
  CLI::App* app = render->add_subcommand(
      "lc", "The light-curve plot of a range of orbits; writes stdev.txt and fftpeaks.txt beside the light-curve "
            "file, as the desktop program does");
  app->add_option("FILE", o.file, "Light-curve file (NAME_lc.vlm)")->required();
  app->add_option("--first", o.first, "First orbit shown, counted from the file's first (default 1)");
  app->add_option("--last", o.last, "Last orbit shown (default: the file's last whole orbit)");
  addSize(app, o.size);
  app->add_option("--out", o.out, "PNG file to write")->required();
  return app;
}

int runLightCurve(const Options& o) {
  const std::string cmd = "render lc";
  if (!sizeOk(cmd, o.size)) return EXIT_USAGE;
  I32 orbits = 0;
  try {
    orbits = readLightCurve(o.file).orbits();
  } catch (const LightCurveError& e) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), e.what());
    return EXIT_FAILED;
  }
  if (orbits < 1) {
    std::fprintf(stderr, "velmora-cli %s: %s holds less than one orbit (200 samples): nothing to plot\n", cmd.c_str(),
                 o.file.c_str());
    return EXIT_FAILED;
  }
  const I32 first = o.first == 0 ? 1 : o.first;
  const I32 last = o.last == 0 ? orbits : o.last;
  if (!inRange(cmd, "--first", first, 1, orbits, 0)) return EXIT_USAGE;
  if (!inRange(cmd, "--last", last, first, orbits, 0)) return EXIT_USAGE;

  // The text files go beside the light curve; the picture where --out says.
  namespace fs = std::filesystem;
  const fs::path out = fs::absolute(o.out), file = fs::absolute(o.file);
  return drawAndSave(cmd, o.size, out.string(), [&](View& v) {
    const fs::path here = fs::current_path();
    fs::current_path(file.parent_path());
    const PlotResult r = v.showLC(file.string(), first, last);
    fs::current_path(here);
    if (!r.message.empty()) std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), r.message.c_str());
    return Drawn{r.drawn, r.drawn && r.message.empty() ? EXIT_OK : EXIT_FAILED};
  });
}

CLI::App* addRecording(CLI::App* render, Options& o) {
  CLI::App* app = render->add_subcommand(
      "recording", "A frame of a recorded run as the playback shows it (the orbit counter counts K frames)");
  app->add_option("FILE", o.file, "Recorded run (NAME.vlm)")->required();
  app->add_option("--frame", o.frame, "Frame K of the recording, counted from 1")->required();
  app->add_option("--angles", o.angles, "Rotation about x and y in degrees, XA,YA (each -360..360)")
      ->capture_default_str();
  app->add_option("--style", o.style, "Star style")->check(CLI::IsMember({"filled", "wire", "points"}))
      ->capture_default_str();
  app->add_option("--color", o.colour, "Particle colour")->check(CLI::IsMember({"density", "temperature"}))
      ->capture_default_str();
  app->add_option("--size", o.pointSize, "Particle size")->check(CLI::IsMember({"small", "large"}))
      ->capture_default_str();
  addSize(app, o.size);
  app->add_option("--out", o.out, "PNG file to write")->required();
  return app;
}

int runRecording(const Options& o) {
  const std::string cmd = "render recording";
  if (!sizeOk(cmd, o.size)) return EXIT_USAGE;
  I32 xa = 0, ya = 0;
  if (!parseAngles(o.angles, xa, ya))
    return usageError(cmd, "--angles takes XA,YA: two whole numbers of degrees in -360..360 (got \"" + o.angles + "\")");
  std::unique_ptr<RecordingReader> reader;
  RecordedFrame f;
  const int code = readRecordedFrame(cmd, o.file, o.frame, reader, f);
  if (code != EXIT_OK) return code;
  const PlaybackInfo info{reader->FRAMESTEP(), reader->RECSTART(), reader->NORBTOT()};
  return drawAndSave(cmd, o.size, o.out, [&](View& v) {
    ViewOptions& opt = v.options();
    opt.STARSTYLE = o.style == "wire" ? 2 : o.style == "points" ? 3 : 1;
    opt.COLORMODE = o.colour == "temperature" ? 2 : 1;
    opt.PTSIZE = o.pointSize == "large" ? 2.0f : 1.0f;
    StillHost H;
    // Twice: the first scene of a fresh context shows only the strip (its depth test compares
    // against OpenGL's initial clear depth); the playback has drawn frames before this one.
    const auto K = static_cast<I32>(o.frame);
    v.show2(playbackFrame(f), info, xa, ya, K, 0, H);
    v.show2(playbackFrame(f), info, xa, ya, K, 0, H);
    return Drawn{};
  });
}

// ---- render analysis: the analysis picture of a run ----

struct AnalysisViewOptions {
  Size size;
  std::string name, out;
  I32 first = 0, last = 0, window = 20;
  double q = 0;
  CLI::Option* qOpt = nullptr;
  bool quiet = false;
};

CLI::App* addAnalysisView(CLI::App* render, AnalysisViewOptions& o) {
  CLI::App* app = render->add_subcommand(
      "analysis", "The analysis of a run (as `analyse` measures it): the spectrum around one cycle per orbit with "
                  "the superhump, its growth, the disk's radii and m = 1 amplitude against time");
  app->add_option("NAME", o.name, "The run's base name or path prefix (NAME_lc.vlm, NAME.vlm, NAME_rs.vlm)")
      ->required();
  app->add_option("--first", o.first, "First light-curve orbit of the range (default 1)");
  app->add_option("--last", o.last, "Last light-curve orbit of the range (default the last whole one)");
  app->add_option("--window", o.window, "Orbits of a growth window (default 20)");
  o.qOpt = app->add_option("--q", o.q, "Mass ratio when neither the restart file nor the recording gives it");
  app->add_flag("--quiet", o.quiet, "No progress output");
  addSize(app, o.size);
  app->add_option("--out", o.out, "PNG file to write")->required();
  return app;
}

int runAnalysisView(const AnalysisViewOptions& o) {
  const std::string cmd = "render analysis";
  if (!sizeOk(cmd, o.size)) return EXIT_USAGE;
  if (!inRange(cmd, "--window", o.window, 1, 1000000, 0)) return EXIT_USAGE;
  if (o.qOpt->count() && !inRange(cmd, "--q", o.q, 1e-6, 100, 2)) return EXIT_USAGE;
  const RunFiles files = findRunFiles(o.name);
  if (!files.hasLightCurve && !files.hasRecording && !files.hasRestart) {
    std::fprintf(stderr, "velmora-cli %s: no file of run %s: none of %s, %s and %s exists\n", cmd.c_str(),
                 files.base.c_str(), files.lightCurve.c_str(), files.recording.c_str(), files.restart.c_str());
    return EXIT_FAILED;
  }
  AnalysisOptions opt;
  opt.window = o.window;
  if (o.qOpt->count()) opt.q = o.q;
  RunAnalysis a;
  ProgressMeter progress(o.quiet);
  opt.progress = [&progress](const AnalysisProgress& p) { progress.update(p.stage, p.done, p.total); };
  try {
    if (files.hasLightCurve && (o.first != 0 || o.last != 0)) {
      const I32 orbits = readLightCurve(files.lightCurve).orbits();
      const I32 first = o.first == 0 ? 1 : o.first, last = o.last == 0 ? orbits : o.last;
      if (!inRange(cmd, "--first", first, 1, orbits, 0) || !inRange(cmd, "--last", last, first, orbits, 0))
        return EXIT_USAGE;
      opt.first = first;
      opt.last = last;
    }
    a = analyseRun(o.name, opt);
  } catch (const std::exception& e) {
    progress.end();
    std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), e.what());
    return EXIT_FAILED;
  }
  progress.end();
  for (const std::string& n : a.notes) std::fprintf(stderr, "velmora-cli %s: note: %s\n", cmd.c_str(), n.c_str());
  const std::string title = std::filesystem::path(a.files.base).filename().string();
  return drawAndSave(cmd, o.size, o.out, [&](View& v) {
    v.drawAnalysis(a, title);
    return Drawn{};
  });
}

// ---- render observe: the observations of a run ----

struct ObserveViewOptions {
  Size size;
  std::string name, out;
  double inclination = -1;
};

CLI::App* addObserveView(CLI::App* render, ObserveViewOptions& o) {
  CLI::App* app = render->add_subcommand(
      "observe", "The observations of a run (NAME_obs.fits): the Doppler map with the secondary's lobe, the stream "
                 "and the Keplerian velocity along it, the trailed spectrum folded on the orbital phase over two cycles, the eclipse curves");
  app->add_option("NAME", o.name, "The run's base name, or its NAME_obs.fits")->required();
  app->add_option("--inclination", o.inclination, "Inclination of the map and spectrum (default the file's first)");
  addSize(app, o.size);
  app->add_option("--out", o.out, "PNG file to write")->required();
  return app;
}

int runObserveView(const ObserveViewOptions& o) {
  const std::string cmd = "render observe";
  if (!sizeOk(cmd, o.size)) return EXIT_USAGE;
  const std::string file = o.name.ends_with(".fits") ? o.name : observationsName(o.name);
  ObservationsFile f;
  try {
    f = readObservations(file);
  } catch (const FileError& e) {
    std::fprintf(stderr, "velmora-cli %s: %s\n", cmd.c_str(), e.what());
    return EXIT_FAILED;
  }
  const std::vector<double>& incl = f.obs.settings.inclinations;
  std::size_t k = 0;
  if (o.inclination >= 0) {
    k = static_cast<std::size_t>(std::find(incl.begin(), incl.end(), o.inclination) - incl.begin());
    if (k == incl.size()) {
      std::string have;
      for (double i : incl) have += (have.empty() ? "" : ", ") + std::to_string(static_cast<int>(i));
      return usageError(cmd, "--inclination: the file holds the inclinations " + have);
    }
  }
  const std::string title = std::filesystem::path(file).filename().string() + "   q " +
                            std::to_string(f.obs.binary.ref.q).substr(0, 5) + "   " + f.obs.emissionNote;
  return drawAndSave(cmd, o.size, o.out, [&](View& v) {
    v.drawObservations(f.obs, f.overlays, k, title);
    return Drawn{};
  });
}

Command add(CLI::App& parent) {
  auto o = std::make_shared<Options>();
  CLI::App* app = parent.add_subcommand(kCmd, "Draw a view of the program into a PNG file, without a window");
  app->require_subcommand(1);
  CLI::App* recording = addRecording(app, *o);
  CLI::App* lc = addLightCurve(app, *o);
  CLI::App* title = addTitle(app, *o);
  auto ao = std::make_shared<AnalysisViewOptions>();
  CLI::App* analysis = addAnalysisView(app, *ao);
  auto oo = std::make_shared<ObserveViewOptions>();
  CLI::App* observe = addObserveView(app, *oo);
  const Command movie = addRenderMovie(app);
  auto run = [o, recording, title, lc, ao, analysis, movie, oo, observe]() -> int {
    if (analysis->parsed()) return runAnalysisView(*ao);
    if (observe->parsed()) return runObserveView(*oo);
    if (movie.app->parsed()) return movie.run();
    if (recording->parsed()) return runRecording(*o);
    if (title->parsed()) return runTitle(*o);
    if (lc->parsed()) return runLightCurve(*o);
    return EXIT_USAGE;
  };
  return {app, run};
}

const Register reg(60, add);

}  // namespace
}  // namespace velmora::cli
