// A fresh temporary folder for a test, made the current folder while the test runs and removed
// with everything in it afterwards.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

void write_file(const std::string& name, const std::string& bytes);
std::string read_file(const std::string& name);
bool file_exists(const std::string& name);
