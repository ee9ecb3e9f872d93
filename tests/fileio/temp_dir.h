// A fresh folder per test, removed afterwards; paths are handed out as Text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "fileio/file_access.h"

namespace drumlo {

class TempDirTest : public testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = std::filesystem::temp_directory_path() /
           ("drumlo-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    // Read-only files and folders left by a test must not keep the folder alive.
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(dir_, ignored);
  }

  [[nodiscard]] std::filesystem::path Native(TextView name) const {
    return dir_ / std::filesystem::path(std::u16string(name));
  }
  [[nodiscard]] Text PathOf(TextView name) const { return Native(name).u16string(); }

  void Put(TextView name, const std::string& content) const {
    std::ofstream(Native(name), std::ios::binary) << content;
  }
  [[nodiscard]] std::string Content(TextView name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The names in the folder, sorted: what a write left behind.
  [[nodiscard]] static std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  [[nodiscard]] std::vector<std::string> Names() const { return NamesIn(dir_); }
  static Bytes BytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

  std::filesystem::path dir_;
};

}  // namespace drumlo
