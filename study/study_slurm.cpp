// The Slurm batch script of a study.
#include "cli/study_slurm.h"

#include <cctype>

namespace velmora::study {
namespace {

bool digits(const std::string& s, std::size_t from, std::size_t n) {
  if (from + n > s.size()) return false;
  for (std::size_t i = from; i < from + n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

}  // namespace

std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string timeProblem(const std::string& time) {
  std::string hms = time;
  if (const auto dash = time.find('-'); dash != std::string::npos) {
    if (dash == 0 || !digits(time, 0, dash)) hms.clear();
    else hms = time.substr(dash + 1);
  }
  const bool ok = hms.size() == 8 && digits(hms, 0, 2) && hms[2] == ':' && digits(hms, 3, 2) && hms[5] == ':' &&
                  digits(hms, 6, 2) && hms.substr(3, 2) < "60" && hms.substr(6, 2) < "60";
  return ok ? std::string{} : "--time must be HH:MM:SS or D-HH:MM:SS (got " + time + ")";
}

std::string slurmLogFolder(const Table& t) { return t.stem().string() + "_slurm"; }

std::string sbatchScript(const Table& t, const SlurmOptions& o) {
  const std::string rows = std::to_string(t.rows.size());
  std::string s = "#!/bin/bash\n";
  s += "# Velmora parameter study " + t.path.filename().string() + " as a Slurm job array, one task a row.\n";
  s += "# Written by velmora-cli study slurm; submit it with: sbatch " + t.stem().filename().string() + ".sbatch\n";
  s += "# A task skips a row that is done and continues a cut-off row from its restart file, so the\n";
  s += "# array can be requeued or submitted again until every row is done.\n";
  s += "#SBATCH --job-name=velmora-" + t.stem().filename().string() + "\n";
  s += "#SBATCH --array=1-" + rows + (o.maxParallel > 0 ? "%" + std::to_string(o.maxParallel) : "") + "\n";
  s += "#SBATCH --ntasks=1\n";
  s += "#SBATCH --cpus-per-task=" + std::to_string(o.cpus) + "\n";
  if (!o.time.empty()) s += "#SBATCH --time=" + o.time + "\n";
  if (!o.partition.empty()) s += "#SBATCH --partition=" + o.partition + "\n";
  s += "#SBATCH --output=" + slurmLogFolder(t) + "/%A_%a.out\n";
  s += "#SBATCH --open-mode=append\n";
  s += "#SBATCH --requeue\n";
  s += "set -eu\n";
  s += "cd " + shellQuoted(t.folder.string()) + "\n";
  s += "export OMP_NUM_THREADS=\"${SLURM_CPUS_PER_TASK:-1}\"\n";
  s += "exec " + shellQuoted(o.program) + " study run " + shellQuoted(t.path.string()) +
       " --task \"$SLURM_ARRAY_TASK_ID\" --threads \"${SLURM_CPUS_PER_TASK:-1}\"\n";
  return s;
}

}  // namespace velmora::study
