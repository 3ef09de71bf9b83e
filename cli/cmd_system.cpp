// velmora-cli system: the derived constants of a pair of stars.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/registry.h"
#include "core/core.h"
#include "core/geometry.h"

namespace velmora::cli {
namespace {

struct SystemOptions {
  double m1 = 0, m2 = 0, h = 0.025, alpha = 1.0, beta = 1.0;
  bool json = false;
};

Command add(CLI::App& parent) {
  auto o = std::make_shared<SystemOptions>();
  CLI::App* app = parent.add_subcommand("system", "Print the derived constants of a pair of stars");
  app->add_option("--m1", o->m1, "Primary mass, solar masses (> 0)")->required();
  app->add_option("--m2", o->m2, "Secondary mass, solar masses (> 0)")->required();
  app->add_option("--h", o->h, "Smoothing length (> 0)")->capture_default_str();
  app->add_option("--alpha", o->alpha, "First viscosity coefficient (>= 0), for CFLA")->capture_default_str();
  app->add_option("--beta", o->beta, "Second viscosity coefficient (>= 0), for CFLA and CFLB")->capture_default_str();
  app->add_flag("--json", o->json, "One JSON object with the constants' names as keys");

  auto run = [o]() -> int {
    const char* cmd = "system";
    if (!(o->m1 > 0)) return usageError(cmd, "--m1 must be greater than 0");
    if (!(o->m2 > 0)) return usageError(cmd, "--m2 must be greater than 0");
    if (!(o->h > 0)) return usageError(cmd, "--h must be greater than 0");
    if (!(o->alpha >= 0)) return usageError(cmd, "--alpha must not be negative");
    if (!(o->beta >= 0)) return usageError(cmd, "--beta must not be negative");

    auto S = std::make_unique<Sim>();
    S->M1 = static_cast<float>(o->m1);
    S->M2 = static_cast<float>(o->m2);
    S->HINJ = static_cast<float>(o->h);
    S->ALPHA = static_cast<float>(o->alpha);
    S->BETA = static_cast<float>(o->beta);
    SETSYS(*S);

    const auto list = systemConstants(*S);
    if (o->json) {
      // The constants in their order, each with the nine digits the text listing shows (a
      // single-precision value carries no more), as nlohmann-json writes the shortest number.
      nlohmann::ordered_json j = nlohmann::ordered_json::object();
      for (const auto& [name, v] : list) {
        char digits[40];
        std::snprintf(digits, sizeof digits, "%.9g", static_cast<double>(v));
        j[name] = std::strtod(digits, nullptr);
      }
      std::printf("%s\n", j.dump().c_str());
    } else {
      for (const auto& [name, v] : list) std::printf("%-11s %.9g\n", name, static_cast<double>(v));
    }
    return EXIT_OK;
  };
  return {app, run};
}

const Register reg(20, add);

}  // namespace
}  // namespace velmora::cli
