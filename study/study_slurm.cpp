// The Slurm batch script of a study.
#include "study/study_slurm.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "io/file_io.h"

namespace velmora::study {
namespace {

bool digits(const std::string& s, std::size_t from, std::size_t n) {
  if (from + n > s.size()) return false;
  for (std::size_t i = from; i < from + n; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// A word of a command line as the shell takes it: as it is when it needs no quotes.
std::string shellWord(const std::string& s) {
  const bool plain = !s.empty() && s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                       "0123456789._/=:+-") == std::string::npos;
  return plain ? s : shellQuoted(s);
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
  s += "exec " + shellQuoted(o.program);
  for (const std::string& w : o.command) s += " " + shellWord(w);
  s += " " + shellQuoted(t.path.string()) +
       " --task \"$SLURM_ARRAY_TASK_ID\" --threads \"${SLURM_CPUS_PER_TASK:-1}\"\n";
  return s;
}

std::string slurmPathProblem(const Table& t) {
  for (const char* bad : {" ", "\t", "\n", "%"})
    if (t.path.string().find(bad) != std::string::npos)
      return "the table's path " + t.path.string() +
             " holds a blank or '%', which a batch script's #SBATCH lines cannot take";
  return {};
}

std::string sbatchPath(const Table& t) { return t.stem().string() + ".sbatch"; }

std::string writeSbatch(const Table& t, const SlurmOptions& o) {
  std::error_code ec;
  std::filesystem::create_directories(slurmLogFolder(t), ec);
  if (ec) return "cannot create " + slurmLogFolder(t) + ": " + ec.message();
  const std::string script = sbatchPath(t);
  if (const std::string err = replaceAtomically(script, sbatchScript(t, o)); !err.empty()) return err;
  ::chmod(script.c_str(), 0755);
  return {};
}

std::string submitSbatch(const Table& t) {
  const std::string line =
      "cd " + shellQuoted(t.folder.string()) + " && sbatch --parsable " + shellQuoted(sbatchPath(t)) + " 2>&1";
  FILE* p = ::popen(line.c_str(), "r");
  if (!p) throw StudyError("cannot run sbatch", 1);
  std::string said;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) said += buf;
  const int status = ::pclose(p);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
  if (status != 0) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
      throw StudyError("sbatch is not found: submit from a machine of a Slurm cluster", 1);
    throw StudyError("sbatch refused the script: " + said, 1);
  }
  // "12345" or "12345;cluster", after any warnings sbatch printed.
  const std::string lastLine = said.substr(said.rfind('\n') == std::string::npos ? 0 : said.rfind('\n') + 1);
  return lastLine.substr(0, lastLine.find(';'));
}

}  // namespace velmora::study
