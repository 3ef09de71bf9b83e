// Observing from the command line: `run --observe` writes NAME_obs.fits beside the run's files,
// which stay the bytes of a run nobody watched; `observe` sees a restart file's state through a
// whole orbit with each emission; bad values are refused with exit 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "analysis/fits/obs_fits.h"
#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

TEST(CliObserve, RunWritesObservationsAndLeavesItsFilesAsTheyWere) {
  test::TempDir dir;
  const std::string run = "run --orbits 2 --particles 200 --lc 1 --restart-every 1 --quiet ";
  ASSERT_EQ(test::runCli(run + "--name plain").code, 0);
  const auto r = test::runCli(run + "--name seen --observe 82,60 --observe-from 2 --line-bins 101 --fwhm 60");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("observations seen_obs.fits from orbit 2"), std::string::npos) << r.out;
  EXPECT_EQ(test::slurp("plain_lc.vlm"), test::slurp("seen_lc.vlm"));
  EXPECT_EQ(test::slurp("plain_rs.vlm"), test::slurp("seen_rs.vlm"));
  EXPECT_FALSE(std::filesystem::exists("plain_obs.fits"));

  const ObservationsFile f = readObservations("seen_obs.fits");
  const Observations& o = f.obs;
  ASSERT_EQ(o.phase.size(), 200u);  // the second orbit only
  EXPECT_DOUBLE_EQ(o.phase.front(), 1.005);
  EXPECT_EQ(o.settings.inclinations, (std::vector<double>{82, 60}));
  EXPECT_EQ(o.settings.lineBins, 101);
  EXPECT_EQ(o.emissionNote, "dissipation");
  ASSERT_EQ(o.spectra.size(), 2u);
  EXPECT_EQ(o.spectra[0].size(), 200u * 101u);
  // The light of the phases is the light curve's: each phase's total (plus the light of
  // gas removed in it) against the light curve's sample of the same phase.
  double total = 0, visible82 = 0;
  for (std::size_t j = 0; j < 200; ++j) total += o.total[j] + o.removed[j], visible82 += o.visible[0][j];
  EXPECT_GT(total, 0.0);
  EXPECT_LT(visible82, total);  // eclipsed at 82 degrees
  EXPECT_FALSE(f.overlays.lobeVx.empty());

  // The same run on one thread gives the same bytes.
  ASSERT_EQ(test::runCli(run + "--name seen2 --observe 82,60 --observe-from 2 --line-bins 101 --fwhm 60 --threads 1").code, 0);
  EXPECT_EQ(test::slurp("seen_obs.fits"), test::slurp("seen2_obs.fits"));

  // A restart observed, and the restart file's state seen through an orbit.
  const auto rr = test::runCli("restart seen_rs.vlm --orbits 1 --name more --observe 85 --emission density2");
  ASSERT_EQ(rr.code, 0) << rr.err;
  EXPECT_NE(rr.out.find("observations more_obs.fits from orbit 3 at"), std::string::npos) << rr.out;
  const Observations more = readObservations("more_obs.fits").obs;
  ASSERT_EQ(more.phase.size(), 200u);
  EXPECT_GT(more.phase.front(), 2.0) << "times count the orbits of the whole run";
  for (const char* e : {"dissipation", "uniform"}) {
    const auto ro = test::runCli(std::string("observe seen_rs.vlm --inclination 82,20 --quiet --emission ") + e);
    ASSERT_EQ(ro.code, 0) << ro.err;
    const Observations s = readObservations("seen_at2_obs.fits").obs;  // seen_rs.vlm after orbit 2
    EXPECT_EQ(s.emissionNote, e);
    ASSERT_EQ(s.phase.size(), 200u);
    // One state through an orbit: the same light at every phase, eclipsed at 82 only.
    EXPECT_EQ(s.total.front(), s.total.back());
    EXPECT_LT(*std::min_element(s.visible[0].begin(), s.visible[0].end()), s.total.front());
    EXPECT_EQ(*std::min_element(s.visible[1].begin(), s.visible[1].end()), s.total.front());
  }
}

TEST(CliObserve, BadValuesAreRefused) {
  test::TempDir dir;
  struct Case {
    const char* args;
    const char* mention;
    int code;
  };
  for (const Case& c : {Case{"run --observe 95 --name a", "between 0 and 90", 2},
                        {"run --observe 82,x --name a", "not \"x\"", 2},
                        {"run --observe 82", "--name", 2},
                        {"run --fwhm 50 --name a", "need --observe", 2},
                        {"run --observe 82 --observe-from 11 --name a", "--observe-from must be between 1 and 10", 2},
                        {"run --observe 82 --line-bins 3 --name a", "--line-bins", 2},
                        {"run --observe 82 --emission light --name a", "--emission", 2},
                        {"observe missing_rs.vlm --inclination 82", "missing_rs.vlm", 1},
                        {"observe missing_rs.vlm --inclination 100", "between 0 and 90", 2}}) {
    const auto r = test::runCli(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.mention), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists("a_obs.fits"));
}

}  // namespace
}  // namespace velmora
