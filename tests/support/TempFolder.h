// Scratch folders for tests that use real files, removed afterwards: a bare one, and a program's layout with
// its working directory. Helpers put and take raw bytes.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("sorabune-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    static void Put(const std::filesystem::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string Take(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};

// A program folder with "★MailData" and a working directory beside it; the test runs in the working directory
// until the end.
class ProgramFolders {
public:
    ProgramFolders() {
        std::filesystem::create_directories(MailData());
        std::filesystem::create_directories(Work());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(Work());
    }
    ~ProgramFolders() { std::filesystem::current_path(previous_); }

    std::filesystem::path Program() const { return root_.Path() / "program"; }
    std::filesystem::path MailData() const { return Program() / "★MailData"; }
    std::filesystem::path Work() const { return root_.Path() / "work"; }

private:
    TempFolder root_;
    std::filesystem::path previous_;
};
