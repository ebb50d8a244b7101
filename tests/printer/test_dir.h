// A private temporary folder per test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace zemprint::test {

class TestDir {
public:
    TestDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zemprint-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TestDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    std::string write(const std::string& name, const std::string& contents) const
    {
        std::ofstream out(path_ / name, std::ios::binary);
        out << contents;
        return file(name);
    }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace zemprint::test
