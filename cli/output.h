#pragma once
// Where velorax-cli writes: standard output and standard error of the process, or strings
// in a test. Every write is whole lines at once, so that a line a reader sees is never cut
// by an interruption.

#include <string>
#include <string_view>

namespace cli {

class Output {
  public:
    virtual ~Output() = default;
    // False when the bytes could not all be written; errno says why.
    virtual bool Write(std::string_view bytes) = 0;
};

// A file descriptor (1, 2), written with write(2) without any buffer of our own.
class FdOutput final : public Output {
  public:
    explicit FdOutput(int fd) : fd_(fd) {}
    bool Write(std::string_view bytes) override;

  private:
    int fd_;
};

class StringOutput final : public Output {
  public:
    bool Write(std::string_view bytes) override {
        text.append(bytes);
        return true;
    }
    std::string text;
};

// A text of the program (a failure text, a report) on one line: its lines trimmed and
// joined by a blank, empty ones dropped.
std::string OneLine(std::string_view text);

}  // namespace cli
