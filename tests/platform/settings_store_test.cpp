#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <filesystem>
#include <fstream>

namespace vesk::platform {
namespace {

constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Vesk\\Vesk";

class SettingsStoreTest : public ::testing::Test {
 protected:
  ~SettingsStoreTest() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("store-" + std::to_string(::getpid()));
  SettingsStore store_{(folder_ / "vesk" / "registry.reg").string()};
  std::string error_;
};

TEST_F(SettingsStoreTest, RoundTripKeepsOrderCaseAndUnknownValues) {
  RegistryTree tree;
  EXPECT_EQ(store_.Read(&tree, &error_), S_FALSE);

  ASSERT_EQ(store_.Update([](RegistryTree& t) {
    t.SetDword(kKey, "ActiveCamera", 0xFFFFFFFF);
    t.SetDword(kKey, "bShowFPS", 5);
    t.SetString("HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32", "", "C:\\dir\\\"quoted\".so");
  }, &error_), S_OK) << error_;

  // A newer writer's value of a type this version does not know survives.
  std::ofstream(store_.path(), std::ios::app) << "[HKEY_CURRENT_USER\\Other]\n\"blob\"=hex:01,02,\\\n  03\n";
  ASSERT_EQ(store_.Update([](RegistryTree& t) { t.SetDword(kKey, "BSHOWFPS", 1); }, &error_), S_OK);

  ASSERT_EQ(store_.Read(&tree, &error_), S_OK) << error_;
  EXPECT_EQ(tree.GetDword("hkey_current_user\\software\\vesk\\vesk", "ActiveCamera"), 0xFFFFFFFFu);
  EXPECT_EQ(tree.GetDword(kKey, "bShowFPS"), 1u);
  EXPECT_EQ(tree.GetString("HKEY_CLASSES_ROOT\\CLSID\\{1}\\InprocServer32", ""), "C:\\dir\\\"quoted\".so");
  EXPECT_EQ(tree.GetString(kKey, "bShowFPS"), std::nullopt);  // a dword is not a string
  const std::string text = tree.Serialize();
  EXPECT_LT(text.find("ActiveCamera"), text.find("bShowFPS"));
  EXPECT_NE(text.find("\"blob\"=hex:01,02,03"), std::string::npos);
}

TEST_F(SettingsStoreTest, DeleteTreeRemovesTheKeyAndEverythingBelowIt) {
  RegistryTree tree;
  tree.SetString("HKEY_CLASSES_ROOT\\CLSID\\{A}", "", "filter");
  tree.SetString("HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32", "ThreadingModel", "Both");
  tree.SetString("HKEY_CLASSES_ROOT\\CLSID\\{AB}", "", "another");
  tree.DeleteTree("HKEY_CLASSES_ROOT\\CLSID\\{a}");
  tree.DeleteTree("HKEY_CLASSES_ROOT\\Missing");
  EXPECT_FALSE(tree.KeyExists("HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32"));
  EXPECT_FALSE(tree.KeyExists("HKEY_CLASSES_ROOT\\CLSID\\{A}"));
  EXPECT_TRUE(tree.KeyExists("HKEY_CLASSES_ROOT\\CLSID\\{AB}"));
}

TEST_F(SettingsStoreTest, CorruptStoreIsReportedAndSetAsideNotLost) {
  std::filesystem::create_directories(folder_ / "vesk");
  std::ofstream(store_.path()) << "Windows Registry Editor Version 5.00\n[K]\n\"v\"=dword:xyz\n";
  RegistryTree tree;
  EXPECT_EQ(store_.Read(&tree, &error_), E_FAIL);
  EXPECT_NE(error_.find("line 3"), std::string::npos) << error_;

  ASSERT_EQ(store_.Update([](RegistryTree& t) { t.SetDword(kKey, "bMute", 1); }, &error_), S_OK);
  EXPECT_TRUE(std::filesystem::exists(store_.path() + ".bad"));
  ASSERT_EQ(store_.Read(&tree, &error_), S_OK);
  EXPECT_EQ(tree.GetDword(kKey, "bMute"), 1u);

  for (const char* broken : {"", "garbage\n", "Windows Registry Editor Version 5.00\n\"v\"=dword:1\n",
                             "Windows Registry Editor Version 5.00\n[K]\n\"v\"=\"open\n"}) {
    EXPECT_FALSE(tree.Parse(broken, &error_)) << broken;
  }
  EXPECT_EQ(tree.GetDword(kKey, "bMute"), 1u);  // a failed parse leaves the tree alone
}

// Writers killed at random moments while they save: the store always parses
// and holds one save whole, and the next save leaves no temporary file behind.
TEST_F(SettingsStoreTest, AWriterKilledWhileSavingLeavesOneWholeSaveAndNothingElse) {
  constexpr int kKills = 40, kValues = 300;
  auto save = [this](std::uint32_t generation) {
    return store_.Update([generation](RegistryTree& t) {
      for (int v = 0; v < kValues; ++v) t.SetDword(kKey, "v" + std::to_string(v), generation);
    }, &error_);
  };
  ASSERT_EQ(save(0), S_OK) << error_;
  std::mt19937 random(13);
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (std::uint32_t generation = 1;; ++generation) save(generation);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    RegistryTree tree;
    ASSERT_EQ(store_.Read(&tree, &error_), S_OK) << error_;
    const auto generation = tree.GetDword(kKey, "v0");
    ASSERT_TRUE(generation.has_value());
    for (int v = 1; v < kValues; ++v) ASSERT_EQ(tree.GetDword(kKey, "v" + std::to_string(v)), generation);
  }
  ASSERT_EQ(save(0), S_OK) << error_;
  for (const auto& entry : std::filesystem::directory_iterator(folder_ / "vesk")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock") << name;
  }
}

}  // namespace
}  // namespace vesk::platform
