#pragma once
// The search's own message boxes (they carry no number in the message
// table): shown through the ErrorReporter's presenter, so tests answer them
// like any other message.
#include <string>

namespace tv::app {

enum class MessageIcon { None, Information };

void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon);

}  // namespace tv::app
