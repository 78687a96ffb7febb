#pragma once

#include <string>
#include <string_view>

namespace tone {

// PLACEHOLDER until the monitor lands: the text of decimal character codes waiting to sound.
class MonitorQueue {
  public:
    const std::string& text() const { return text_; }
    void replace(std::string codes) { text_ = std::move(codes); }
    void append(std::string_view codes) { text_ += codes; }
    void clear() { text_.clear(); }

  private:
    std::string text_;
};

}  // namespace tone
