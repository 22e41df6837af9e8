#include "cli/options.h"

#include <gtest/gtest.h>

namespace dovrel::cli {
namespace {

TEST(ParseOptions, ReadsBothCommandsWithTheirDefaults) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"list"}, &options, &error)) << error;
  EXPECT_EQ(options.command, Command::kList);
  EXPECT_EQ(options.server, "127.0.0.1");
  EXPECT_EQ(options.port, 41900);
  EXPECT_EQ(options.date, "");
  EXPECT_FALSE(options.tls);

  ASSERT_TRUE(
      ParseOptions({"receive", "--server", "files.bank", "--port", "4000", "--date", "20261208",
                    "--user", "u01", "--folder", "in", "--tls", "a.txt", "b.txt"},
                   &options, &error))
      << error;
  EXPECT_EQ(options.command, Command::kReceive);
  EXPECT_EQ(options.server, "files.bank");
  EXPECT_EQ(options.port, 4000);
  EXPECT_EQ(options.user, "u01");
  EXPECT_EQ(options.names, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_FALSE(options.all);
  EXPECT_TRUE(options.tls);
}

TEST(ParseOptions, RefusesWhatCannotBeCarriedOut) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"fetch"},
      {"list", "--port"},
      {"list", "--port", "0"},
      {"list", "--port", "65536"},
      {"list", "--port", "12x"},
      {"list", "a.txt"},
      {"list", "--colour"},
      {"receive", "--all"},
      {"receive", "--folder", "in"},
      {"receive", "--folder", "in", "--all", "a.txt"},
  };
  for (const auto& arguments : cases) {
    Options options;
    std::string error;
    EXPECT_FALSE(ParseOptions(arguments, &options, &error)) << testing::PrintToString(arguments);
    EXPECT_FALSE(error.empty());
  }
}

TEST(ParseOptions, TestBoundsAreMillisecondsAndDefaultToTheProducts) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"receive", "--folder", "in", "--all"}, &options, &error)) << error;
  EXPECT_EQ(options.exchangeLimitMs, -1);
  EXPECT_EQ(options.speedTimeMs, -1);
  EXPECT_EQ(options.cancelAfterMs, -1);
  ASSERT_TRUE(ParseOptions({"receive", "--folder", "in", "--all", "--exchange-limit", "3000",
                            "--speed-time", "2500", "--cancel-after", "0"},
                           &options, &error))
      << error;
  EXPECT_EQ(options.exchangeLimitMs, 3000);
  EXPECT_EQ(options.speedTimeMs, 2500);
  EXPECT_EQ(options.cancelAfterMs, 0);
  for (const char* bad : {"", "-1", "1s", "99999999"}) {
    EXPECT_FALSE(ParseOptions({"list", "--exchange-limit", bad}, &options, &error)) << bad;
  }
  EXPECT_FALSE(ParseOptions({"list", "--speed-time"}, &options, &error));
}

TEST(ParseOptions, ServerPinsAreRepeatableFingerprints) {
  Options options;
  std::string error;
  const std::string plain(64, 'a');
  std::string separated = "AB";
  for (int i = 1; i < 32; ++i) separated += ":AB";
  ASSERT_TRUE(ParseOptions(
      {"receive", "--folder", "in", "--all", "--server-pin", plain, "--server-pin", separated},
      &options, &error))
      << error;
  EXPECT_EQ(options.serverPins, (std::vector<std::string>{plain, separated}));
  for (const std::string& bad : {std::string(63, 'a'), std::string(64, 'x'), std::string()}) {
    EXPECT_FALSE(ParseOptions({"list", "--server-pin", bad}, &options, &error)) << bad;
  }
  EXPECT_FALSE(ParseOptions({"list", "--server-pin"}, &options, &error));
}

TEST(ParseOptions, HelpWinsAnywhere) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"receive", "--help"}, &options, &error));
  EXPECT_EQ(options.command, Command::kHelp);
  ASSERT_TRUE(ParseOptions({"-h"}, &options, &error));
  EXPECT_EQ(options.command, Command::kHelp);
}

TEST(ParseOptions, VersionStandsAlone) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--version"}, &options, &error));
  EXPECT_EQ(options.command, Command::kVersion);
  EXPECT_FALSE(ParseOptions({"--version", "list"}, &options, &error));
  EXPECT_FALSE(ParseOptions({"list", "--version"}, &options, &error));
}

}  // namespace
}  // namespace dovrel::cli
