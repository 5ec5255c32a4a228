// A fresh directory under the system's temporary directory for tests that
// need real files, removed with everything in it when the object goes away;
// and whole-file byte I/O that goes around the code under test.
#ifndef ZAND_STL_TESTS_SUPPORT_TEMP_DIR_H
#define ZAND_STL_TESTS_SUPPORT_TEMP_DIR_H

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace zand_test {

class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    std::mt19937_64 rng(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      m_path = base / ("zand_stl_test_" + std::to_string(rng()));
    } while (!std::filesystem::create_directory(m_path));
  }

  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }

  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory itself, and the path of `name` inside it.
  std::string path() const { return m_path.string(); }
  std::string file(const std::string& name) const {
    return (m_path / name).string();
  }

 private:
  std::filesystem::path m_path;
};

// Makes `bytes` the whole content of the file, creating it if need be.
inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The whole content of the file; empty when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_TEMP_DIR_H
