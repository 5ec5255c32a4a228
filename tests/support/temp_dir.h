// A fresh directory for tests that need real files, removed with everything
// in it when the object goes away; and whole-file byte I/O that goes around
// the code under test.
#ifndef ZAND_STL_TESTS_SUPPORT_TEMP_DIR_H
#define ZAND_STL_TESTS_SUPPORT_TEMP_DIR_H

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace zand_test {

class TempDir {
 public:
  TempDir() {
    std::mt19937_64 rng(std::random_device{}());
    do {
      m_path = std::filesystem::temp_directory_path() /
               ("zand_stl_test_" + std::to_string(rng()));
    } while (!std::filesystem::create_directory(m_path));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path() const { return m_path.string(); }
  std::string file(const std::string& name) const {
    return (m_path / name).string();
  }

 private:
  std::filesystem::path m_path;
};

inline void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Empty when the file cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (in && in.peek() != std::ifstream::traits_type::eof()) {
    bytes << in.rdbuf();  // an empty rdbuf would set failbit on bytes
  }
  return bytes.str();
}

}  // namespace zand_test

#endif  // ZAND_STL_TESTS_SUPPORT_TEMP_DIR_H
